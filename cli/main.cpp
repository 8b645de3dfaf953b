// convqvr on Linux: with arguments, the command line, which loads no toolkit
// and needs no display; without, the window, whose program takes its place.
#include <cli/command_line.h>

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc > 1) {
        std::setlocale(LC_MESSAGES, ""); // the system's own words for errors
        const std::vector<std::string_view> arguments(argv + 1, argv + argc);
        return cli::run(arguments, {stdin, stdout, stderr});
    }
    std::error_code failure;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", failure);
    const auto window = (self.parent_path() / CONVQVR_WINDOW_FROM_BIN).lexically_normal();
    execv(window.c_str(), argv);
    std::fprintf(stderr, "convqvr: la fenêtre (%s) ne peut pas s'ouvrir : %s\n", window.c_str(),
        std::strerror(errno));
    return 1;
}
