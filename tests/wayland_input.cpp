// A keyboard and a pointer for a headless wlroots compositor, which has no
// input devices of its own: made through the virtual keyboard and virtual
// pointer protocols, they live as long as this program, so that clients see
// a seat with both from the start. Reads one command a line from standard
// input and answers "ok" once the compositor has taken it:
//   key NAME [ctrl]     press and release a key (digits, letters, BackSpace...)
//   move X Y            put the pointer at X,Y of the output
//   click [right]       press and release the left (or right) button
// Usage: wayland_input OUTPUT_WIDTH OUTPUT_HEIGHT
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

// The protocols' interfaces, written out as wayland-scanner would make them.
extern const wl_interface virtualPointerInterface;
extern const wl_interface virtualKeyboardInterface;

const wl_interface *noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_interface *createPointerTypes[] = {&wl_seat_interface, &virtualPointerInterface};
const wl_interface *createKeyboardTypes[] = {&wl_seat_interface, &virtualKeyboardInterface};

const wl_message pointerManagerRequests[] = {
    {"create_virtual_pointer", "?on", createPointerTypes},
    {"destroy", "", noTypes},
};
const wl_interface pointerManagerInterface
    = {"zwlr_virtual_pointer_manager_v1", 1, 2, pointerManagerRequests, 0, nullptr};

enum PointerRequest { motion, motionAbsolute, button, axis, frame };
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},
    {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},
    {"axis", "uuf", noTypes},
    {"frame", "", noTypes},
    {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes},
    {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface virtualPointerInterface
    = {"zwlr_virtual_pointer_v1", 1, 9, pointerRequests, 0, nullptr};

const wl_message keyboardManagerRequests[] = {
    {"create_virtual_keyboard", "on", createKeyboardTypes},
};
const wl_interface keyboardManagerInterface
    = {"zwp_virtual_keyboard_manager_v1", 1, 1, keyboardManagerRequests, 0, nullptr};

enum KeyboardRequest { keymap, key, modifiers };
const wl_message keyboardRequests[] = {
    {"keymap", "uhu", noTypes},
    {"key", "uuu", noTypes},
    {"modifiers", "uuuu", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface virtualKeyboardInterface
    = {"zwp_virtual_keyboard_v1", 1, 4, keyboardRequests, 0, nullptr};

// Linux input codes of the keys the tests press.
const std::map<std::string, uint32_t> keyCodes = {{"1", 2}, {"2", 3}, {"3", 4}, {"4", 5}, {"5", 6},
    {"6", 7}, {"7", 8}, {"8", 9}, {"9", 10}, {"0", 11}, {"a", 30}, {"c", 46}, {"v", 47}, {"x", 45},
    {"z", 44}, {"space", 57}, {"period", 52}, {"BackSpace", 14}, {"Delete", 111}, {"Return", 28},
    {"Tab", 15}, {"Left", 105}, {"Right", 106}, {"Up", 103}, {"Down", 108}, {"Home", 102},
    {"End", 107}, {"Insert", 110}, {"KP_7", 71}, {"KP_8", 72}};
constexpr uint32_t leftButton = 0x110, rightButton = 0x111;
constexpr uint32_t controlMask = 4; // in the us keymap

struct Globals
{
    wl_seat *seat = nullptr;
    wl_proxy *pointerManager = nullptr;
    wl_proxy *keyboardManager = nullptr;
};

void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    auto *globals = static_cast<Globals *>(data);
    const auto bind = [&](const wl_interface *wanted) {
        return static_cast<wl_proxy *>(wl_registry_bind(registry, name, wanted, 1));
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat = reinterpret_cast<wl_seat *>(bind(&wl_seat_interface));
    else if (std::strcmp(interface, pointerManagerInterface.name) == 0)
        globals->pointerManager = bind(&pointerManagerInterface);
    else if (std::strcmp(interface, keyboardManagerInterface.name) == 0)
        globals->keyboardManager = bind(&keyboardManagerInterface);
}

void globalRemove(void *, wl_registry *, uint32_t) { }

uint32_t now()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The us layout, as a file descriptor the compositor can map.
bool sendKeymap(wl_proxy *keyboard)
{
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    xkb_keymap *map = context
        ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)
        : nullptr;
    char *text = map ? xkb_keymap_get_as_string(map, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    bool sent = false;
    if (text && fd >= 0) {
        const size_t size = std::strlen(text) + 1;
        if (write(fd, text, size) == ssize_t(size)) {
            wl_proxy_marshal(
                keyboard, keymap, uint32_t(XKB_KEYMAP_FORMAT_TEXT_V1), fd, uint32_t(size));
            sent = true;
        }
    }
    if (fd >= 0)
        close(fd);
    std::free(text);
    xkb_keymap_unref(map);
    xkb_context_unref(context);
    return sent;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::cerr << "usage: wayland_input OUTPUT_WIDTH OUTPUT_HEIGHT\n";
        return 2;
    }
    const auto width = uint32_t(std::stoul(argv[1]));
    const auto height = uint32_t(std::stoul(argv[2]));
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::cerr << "wayland_input: no Wayland display\n";
        return 1;
    }
    Globals globals;
    const wl_registry_listener listener = {global, globalRemove};
    wl_registry_add_listener(wl_display_get_registry(display), &listener, &globals);
    wl_display_roundtrip(display);
    if (!globals.seat || !globals.pointerManager || !globals.keyboardManager) {
        std::cerr << "wayland_input: the compositor lacks a seat or the virtual input protocols\n";
        return 1;
    }
    wl_proxy *pointer = wl_proxy_marshal_constructor(
        globals.pointerManager, 0, &virtualPointerInterface, globals.seat, nullptr);
    wl_proxy *keyboard = wl_proxy_marshal_constructor(
        globals.keyboardManager, 0, &virtualKeyboardInterface, globals.seat, nullptr);
    if (!sendKeymap(keyboard)) {
        std::cerr << "wayland_input: no us keymap\n";
        return 1;
    }
    wl_display_roundtrip(display);
    std::cout << "ready" << std::endl;

    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command, argument, modifier;
        words >> command >> argument >> modifier;
        if (command == "key" && keyCodes.contains(argument)) {
            const bool control = modifier == "ctrl";
            if (control)
                wl_proxy_marshal(keyboard, modifiers, controlMask, 0u, 0u, 0u);
            wl_proxy_marshal(keyboard, key, now(), keyCodes.at(argument), 1u);
            wl_proxy_marshal(keyboard, key, now(), keyCodes.at(argument), 0u);
            if (control)
                wl_proxy_marshal(keyboard, modifiers, 0u, 0u, 0u, 0u);
        } else if (command == "move") {
            const auto y = uint32_t(std::stoul(modifier));
            wl_proxy_marshal(
                pointer, motionAbsolute, now(), uint32_t(std::stoul(argument)), y, width, height);
            wl_proxy_marshal(pointer, frame);
        } else if (command == "click") {
            const uint32_t which = argument == "right" ? rightButton : leftButton;
            wl_proxy_marshal(pointer, button, now(), which, 1u);
            wl_proxy_marshal(pointer, frame);
            wl_proxy_marshal(pointer, button, now(), which, 0u);
            wl_proxy_marshal(pointer, frame);
        } else {
            std::cout << "unknown: " << line << std::endl;
            continue;
        }
        if (wl_display_roundtrip(display) < 0) {
            std::cerr << "wayland_input: the compositor went away\n";
            return 1;
        }
        std::cout << "ok" << std::endl;
    }
    wl_display_disconnect(display);
    return 0;
}
