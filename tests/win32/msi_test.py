#!/usr/bin/python3
"""The Windows Installer package under Wine, inside xvfb.sh: its summary and
tables read back with msitools; installed with msiexec /qn in a prefix of its
own: the files, the Start menu entry, convqvr found through the PATH of a new
cmd, the entry in the list of installed programs, and the shared session
played on the installed program; then a later version installed over it in
place, and removed, leaving nothing of its own.

Usage: msi_test.py PACKAGE LATER_PACKAGE PROBE PREFIX OBJDUMP
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from scenario import check, failures, run  # noqa: E402
import program_test  # noqa: E402

UPGRADE_CODE = "{5C1F7A2E-3B9D-4E0A-9F6B-2D8C4A1E7B30}"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
ENVIRONMENT = r"HKLM\System\CurrentControlSet\Control\Session Manager\Environment"
FILES = ["LISEZMOI.txt", "convqvr.com", "convqvr.exe"]
EXTENSIONS = ["vcf", "csv", "txt", "ods", "xlsx"]
VERB = r"Software\Classes\SystemFileAssociations\.{}\shell\ConversionQVR"


def msiinfo(*words):
    return run(["msiinfo", *words], capture_output=True, text=True, check=True).stdout


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main(package, later, probe, prefix, objdump):
    # What msiexec and the tests below rely on.
    summary = msiinfo("suminfo", package)
    check("Template: x64;1036" in summary and "Author: Les auteurs de Conversion QVR" in summary,
          f"the summary: {summary!r}")
    tables = {name: msiinfo("export", package, name) for name in
              ("Environment", "Upgrade", "Shortcut", "InstallExecuteSequence", "Property", "_ForceCodepage",
               "Registry")}
    check("\tPath\t=-*PATH\t[INSTALLDIR];[~]\tPrograms".lstrip() in tables["Environment"],
          f"the PATH row: {tables['Environment']!r}")
    check(all(re.search(rf"^{action}\t[^\t]*\t{number}\s*$", tables["InstallExecuteSequence"], re.M)
              for action, number in
              (("WriteEnvironmentStrings", 5200), ("RemoveEnvironmentStrings", 3300), ("RemoveExistingProducts", 1401))),
          "the environment and upgrade actions are sequenced")
    check(tables["Upgrade"].count(UPGRADE_CODE) == 2, f"the upgrade code: {tables['Upgrade']!r}")
    check("Conversion QVR\tPrograms" in tables["Shortcut"], f"the Start menu entry: {tables['Shortcut']!r}")
    check("65001" in tables["_ForceCodepage"], "the strings' code page is UTF-8, as written")
    check("ARPPRODUCTICON\tconvqvr.ico" in tables["Property"] and "convqvr.ico" in msiinfo("streams", package),
          "the list of installed programs shows the icon")
    # Explorer's menu of each kind the window converts, taking no type over.
    verbs = {extension: sorted(row.split("\t")[2:5] for row in tables["Registry"].splitlines()
                                if f"\\SystemFileAssociations\\.{extension}\\" in row) for extension in EXTENSIONS}
    check(all(rows == [[VERB.format(extension), "", "Convertir avec Conversion QVR"],
                       [VERB.format(extension), "Icon", "[INSTALLDIR]convqvr.exe"],
                       [VERB.format(extension) + "\\command", "", '"[INSTALLDIR]convqvr.exe" "%1"']]
              for extension, rows in verbs.items())
          and tables["Registry"].count("\tPrograms") == 3 * len(EXTENSIONS),
          f"Explorer's menu entries, and no other registry row: {verbs}")
    versions = [msiinfo("export", p, "Property").split("ProductVersion\t")[1].split()[0] for p in (package, later)]

    wine = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine.sh"), f"{prefix}-96", "96"]
    root = f"{prefix}-96"

    def in_wine(*words, given=None):
        # Into a file, not a pipe: programs that Wine starts meanwhile would
        # hold a pipe open.
        with tempfile.TemporaryFile() as out:
            done = run(wine + list(words), input=given, stdout=out, stderr=subprocess.DEVNULL,
                       timeout=300)
            out.seek(0)
            return done.returncode, out.read().decode("utf-8", "replace").replace("\r", "")

    def entries():
        """The list of installed programs, as its .reg export tells it."""
        with tempfile.TemporaryDirectory() as scratch:
            exported = os.path.join(scratch, "uninstall.reg")
            in_wine("reg", "export", UNINSTALL, windows_path(exported), "/y")
            with open(exported, "rb") as reg:
                text = reg.read().decode("utf-16")
        found = []
        for key in text.split("\n["):
            values = dict(line.strip().split("=", 1) for line in key.splitlines()[1:] if "=" in line)
            if values.get('"DisplayName"') == '"Conversion QVR"':
                found.append({k.strip('"'): v.strip('"') for k, v in values.items()})
        return found

    def path_now():
        return in_wine("reg", "query", ENVIRONMENT, "/v", "PATH")[1].split("REG_EXPAND_SZ")[-1].strip()

    def shortcuts():
        # The Start menu of all users, or, as Wine has it, of the one user.
        menus = [os.path.join(root, "drive_c", "ProgramData"), os.path.join(root, "drive_c", "users", "*",
                                                                            "AppData", "Roaming")]
        return [link for menu in menus for link in glob.glob(os.path.join(
            menu, "Microsoft", "Windows", "Start Menu", "Programs", "Conversion QVR.lnk"))]

    folder = os.path.join(root, "drive_c", "Program Files", "Conversion QVR")
    in_wine("cmd", "/c", "ver")  # the prefix, made before anything is installed
    path_before = path_now()
    status, _ = in_wine("msiexec", "/i", windows_path(package), "/qn")
    check(status == 0, f"msiexec /i installs: status {status}")
    check(os.path.isdir(folder) and sorted(os.listdir(folder)) == FILES,
          f"the programs and their text in Program Files: {os.path.isdir(folder) and os.listdir(folder)}")
    check(len(shortcuts()) == 1, f"a Start menu entry: {shortcuts()}")
    found = entries()
    check(len(found) == 1 and found[0].get("DisplayVersion") == versions[0]
          and found[0].get("Publisher") == "Les auteurs de Conversion QVR"
          and found[0].get("HelpLink") == "https://convqvr.fr/"
          and found[0].get("Comments", "").startswith("Conversion des num\u00e9ros"),
          f"the entry in the list of installed programs: {found}")
    commands = {extension: in_wine("reg", "query", "HKLM\\" + VERB.format(extension) + "\\command", "/ve")[1]
                for extension in EXTENSIONS}
    check(all('"C:\\Program Files\\Conversion QVR\\convqvr.exe" "%1"' in out for out in commands.values()),
          f"Explorer's menu starts the window with the file: {commands}")
    status, out = in_wine("cmd", "/c", "cd /d C:\\ && convqvr 42123456")
    check(out == "04.42.12.34.56\n", f"a new cmd finds convqvr through the PATH: {out!r}")
    status, out = in_wine("cmd", "/c", "convqvr --vcard", given=b"TEL:42 12 34 56\r\n")
    check(out == "TEL:04 42 12 34 56\n", f"and convqvr --vcard: {out!r}")

    program_test.main(os.path.join(folder, "convqvr.exe"), probe, prefix, "96", objdump)

    status, _ = in_wine("msiexec", "/i", windows_path(later), "/qn")
    found = entries()
    check(status == 0 and [e.get("DisplayVersion") for e in found] == [versions[1]]
          and sorted(os.listdir(folder)) == FILES and path_now().count("Conversion QVR") == 1,
          f"a later version replaces it in place: status {status}, {found}")

    status, _ = in_wine("msiexec", "/x", windows_path(later), "/qn")
    check(status == 0, f"msiexec /x removes it: status {status}")
    check(not os.path.exists(folder) and not shortcuts(), "no file, folder or shortcut is left")
    check(path_now() == path_before, f"the PATH is as it was: {path_now()!r}")
    check(entries() == [], "no entry is left in the list of installed programs")
    left = [extension for extension in EXTENSIONS
            if in_wine("reg", "query", "HKLM\\" + VERB.format(extension))[0] == 0]
    check(left == [], f"no entry is left in Explorer's menus: {left}")
    # The registry as Wine keeps it on disk, once its server has written it.
    server = shutil.which("wineserver") or "/usr/lib/wine/wineserver64"
    run([server, "-k"], env=dict(os.environ, WINEPREFIX=root), timeout=120)
    run([server, "-w"], env=dict(os.environ, WINEPREFIX=root), timeout=120)
    left = []
    for name in ("system.reg", "user.reg"):
        with open(os.path.join(root, name), encoding="utf-8", errors="replace") as reg:
            # Wine's own record of the desktop entries it made is Wine's.
            left += [key.splitlines()[0] for key in reg.read().split("\n[")
                     if "Conversion QVR" in key and not key.startswith("Software\\\\Wine\\\\")]
    check(left == [], f"no registry key or value names the program: {left}")


if __name__ == "__main__":
    main(*sys.argv[1:6])
    sys.exit(1 if failures else 0)
