// What the window is: its title, its size and its controls, each with its text,
// place, font and colours. Every front-end builds its window by walking this.
#pragma once

#include <convqvr/version.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>

namespace form {

struct Colour
{
    std::uint8_t red, green, blue;
    friend constexpr bool operator==(Colour, Colour) = default;
};

// Pixels at 96 dpi; a front-end scales them with the screen's density.
struct Place
{
    int left, top, width, height;
};

// Sizes in pixels at 96 dpi (8.25, 12 and 18 points there), so that text and
// controls scale together.
struct Font
{
    int pixels;
    bool bold;
    bool underline;
};

enum class Kind {
    Label,  // one line of fixed text
    Notice, // fixed text wrapped over its width
    Box,    // the one-line input box
    Result, // the result label: selectable, copyable, never focused
    Button,
};

struct Control
{
    std::string_view name;
    Kind kind;
    std::u16string_view text;
    Place place;
    Font font;
    std::optional<Colour> ink;     // the desktop's own where none
    std::optional<Colour> backing; // transparent over the sky where none
    std::string_view labels;       // the control this one names for screen readers
};

inline constexpr std::string_view name = "Convqvr";
inline constexpr std::u16string_view title = u"Conversion QVR   V" CONVQVR_TITLE_VERSION;
inline constexpr int width = 210;
inline constexpr int height = 161;
inline constexpr std::u16string_view fontFace = u"MS Sans Serif";

// Dark ink on the pale sky, black on the white box, red on the result's own
// pale backing: the colours the picture needs, whatever the desktop's scheme.
inline constexpr Colour ink = {16, 24, 48};
inline constexpr Colour boxInk = {0, 0, 0};
inline constexpr Colour boxBacking = {255, 255, 255};
inline constexpr Colour red = {255, 0, 0};
inline constexpr Colour resultBacking = {235, 243, 252};
inline constexpr Colour selection = {0, 90, 180};
inline constexpr Colour selectedInk = {255, 255, 255};

// The result is left-aligned, so that one too long for the label shows its
// start, and kept off the backing's edge.
inline constexpr int resultIndent = 4;
inline constexpr std::u16string_view copyEntry = u"Copier";

// Whole files, dropped on the window or chosen through this entry (Ctrl+O),
// each saved under a name of its own beside itself.
inline constexpr std::u16string_view fileEntry = u"Convertir un fichier…";
inline constexpr std::u16string_view chooseTitle = u"Convertir un fichier";
inline constexpr std::u16string_view saveTitle = u"Enregistrer le fichier converti";
inline constexpr std::u16string_view knownFiles = u"Carnets, tableaux, listes et classeurs";
inline constexpr std::u16string_view allFiles = u"Tous les fichiers";
inline constexpr std::u16string_view sameFile
    = u"Le fichier lu n'est jamais remplacé : choisissez un autre nom.";

inline constexpr bool bold = true, underlined = true;
inline constexpr std::nullopt_t none = std::nullopt;

// clang-format off
// In the order of creation: each label just before what it names, as Windows
// screen readers name a box after the label before it. Of the controls that
// take the focus, nhc comes first, then Quitter.
inline constexpr Control controls[] = {
    // name      kind           text                          place (96 dpi)       font                     ink   backing        labels
    {"Label1",  Kind::Label,  u"Numéro à 8 chiffres",       {16, 8, 121, 17},  {11, bold, underlined}, ink,    none,          "nhc"},
    {"nhc",     Kind::Box,    u"",                          {24, 24, 81, 24},  {16, false, false},     boxInk, boxBacking,    ""},
    {"Label2",  Kind::Label,  u"Numéro à dix chiffres",     {16, 56, 177, 25}, {16, bold, underlined}, ink,    none,          "qvr"},
    {"qvr",     Kind::Result, u"",                          {16, 80, 177, 33}, {24, bold, false},      red,    resultBacking, ""},
    {"Label3",  Kind::Notice, u"Conversion QVR est écrit par l'équipe de Conversion QVR, ses auteurs.",
                                                            {8, 120, 201, 41}, {11, false, false},     ink,    none,          ""},
    {"Quitter", Kind::Button, u"Quitter",                   {128, 32, 65, 17}, {11, false, false},     none,   none,          ""},
};
// clang-format on

inline constexpr std::size_t controlCount = std::size(controls);

// The place of the control of that name in the form; a name that is not there
// does not compile.
consteval std::size_t indexOf(std::string_view controlName)
{
    std::size_t i = 0;
    while (controls[i].name != controlName)
        ++i;
    return i;
}

// Each label stands right before the control it names, as Windows screen
// readers expect.
static_assert([] {
    for (std::size_t i = 0; i < controlCount; ++i) {
        const std::string_view named = controls[i].labels;
        if (!named.empty() && (i + 1 == controlCount || controls[i + 1].name != named))
            return false;
    }
    return true;
}());

// The control that `label`, one of the controls above, names for screen
// readers, if any.
constexpr const Control *labelled(const Control &label)
{
    return label.labels.empty() ? nullptr : &label + 1;
}

// The clipboard shortcuts act on the box itself on every front-end: they are
// never typed. Every other key that types a character goes to the key filter.
// Copy with nothing selected in the box copies the whole result, as the
// result's own menu does, so that the keyboard alone can copy it.
enum class Edit { Paste, Copy, Cut, Undo, Redo, SelectAll };
enum class Key { A, C, V, X, Y, Z, Insert, Delete };

enum class Held { None, Ctrl, Shift, CtrlShift };

struct Shortcut
{
    Key key;
    Held held;
    Edit edit;
};

// clang-format off
inline constexpr Shortcut shortcuts[] = {
    {Key::V,      Held::Ctrl,      Edit::Paste},
    {Key::Insert, Held::Shift,     Edit::Paste},
    {Key::C,      Held::Ctrl,      Edit::Copy},
    {Key::Insert, Held::Ctrl,      Edit::Copy},
    {Key::X,      Held::Ctrl,      Edit::Cut},
    {Key::Delete, Held::Shift,     Edit::Cut},
    {Key::Z,      Held::Ctrl,      Edit::Undo},
    {Key::Z,      Held::CtrlShift, Edit::Redo},
    {Key::Y,      Held::Ctrl,      Edit::Redo},
    {Key::A,      Held::Ctrl,      Edit::SelectAll},
};
// clang-format on

// What a key does with these modifiers held, if it is a shortcut. With Alt
// (or AltGr, which Windows reports as Ctrl+Alt) a key is never one.
constexpr std::optional<Edit> shortcut(Key key, bool ctrl, bool shift, bool alt = false)
{
    if (alt)
        return std::nullopt;
    const Held held
        = ctrl ? (shift ? Held::CtrlShift : Held::Ctrl) : (shift ? Held::Shift : Held::None);
    for (const Shortcut &s : shortcuts) {
        if (s.key == key && s.held == held)
            return s.edit;
    }
    return std::nullopt;
}

} // namespace form
