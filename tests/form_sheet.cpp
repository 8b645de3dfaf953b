// Writes the form's declaration for the test drivers into the file named.
#include "form_sheet.h"

int main(int argc, char *argv[])
{
    if (argc != 2 || !std::freopen(argv[1], "w", stdout))
        return 2;
    printFormSheet();
    return std::fclose(stdout) == 0 ? 0 : 1;
}
