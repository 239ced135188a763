"""Table `Package`: the Windows Installer package under Wine's own msiexec (e2e/README.md)."""

import os
import re
import subprocess
from pathlib import Path

from harness import IDNO, IDYES, ROOT, RUN, SETTINGS, STATE, USER, WINE, Vardix, dword, env, poll, reg
from test_app import App

INSTALLED, RUN64 = r"C:\Program Files\Vardix\vardix.exe", r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
BUILT = os.environ.get("VARDIX_E2E_PROGRAM", str(ROOT / "build/win64/vardix.exe"))
MAJOR, MINOR, PATCH, BUILD = map(int, re.findall(r"VERSION_[A-Z]+ (\d+)", (ROOT / "src/res/version.h").read_text()))
VERSIONS = {1: f"{MAJOR}.{MINOR}.{PATCH}.{BUILD}", 2: f"{MAJOR}.{MINOR}.{PATCH + 1}.0"}  # Windows compares 3 fields


def packed(guid):  # how Windows Installer names a product or an upgrade code in the registry
    h = guid.strip("{}").replace("-", "")
    return h[7::-1] + h[11:7:-1] + h[15:11:-1] + "".join(h[i + 1] + h[i] for i in range(16, 32, 2))


PRODUCTS = r"HKLM\SOFTWARE\Classes\Installer\UpgradeCodes" + "\\" + packed("6F1B3D2E-8A47-4C59-9E0D-5B7A2C4F1E83")


def drive_c():
    return Path(env()["WINEPREFIX"], "drive_c")


def shortcuts():  # Wine puts a machine-wide package's Start menu entries into the user's Start menu
    return [*drive_c().glob("[uP]*/**/Start Menu/Programs/Vardix.lnk")]


# With no copy running, /quit opens nothing and ends with 0; the upgrade and the uninstall end the running copy.
INSTALL = [("msi", "/i", 1), ("installed", 1), ("run", "/quit"), ("ends", 0), ("run",), ("fills", "ctrl+alt+v")]
UPGRADE = [("msi", "/i", 2), ("ends", 0), ("installed", 2)]
ASKS = ("box", "vardix", "退出程序, 你确定吗?", [IDYES, IDNO])  # Exit's question, left open: it must not keep Vardix
APPLY = [("run",), ("click", 1004), ("click", 1000), ("applied",), ("cmd", 1009), ASKS]
UNINSTALL = [("msi", "/x", 2), ("ends", 0), ("removed",)]


class Package(App):
    @classmethod
    def setUpClass(cls):  # at every run, from the vardix.exe under test
        for version in VERSIONS.values():
            msi = STATE / f"vardix-{version}.msi"
            subprocess.run(["bash", ROOT / "scripts/make-msi.sh", "x64", version, BUILT, msi], check=True)

    def package(self, n):
        return STATE / f"vardix-{VERSIONS[n]}.msi"

    def do_msi(self, option, n):
        msi = "Z:" + str(self.package(n)).replace("/", "\\")
        done = subprocess.run([WINE, "msiexec", option, msi, "/qn"], env=env(), capture_output=True, timeout=120)
        self.assertEqual(done.returncode, 0, f"msiexec {option} {msi}")

    def do_installed(self, n):
        properties = subprocess.run(["msiinfo", "export", self.package(n), "Property"], capture_output=True, text=True)
        product = re.search(r"ProductCode\t(\S+)", properties.stdout)[1]
        self.assertEqual(
            [(drive_c() / "Program Files/Vardix/vardix.exe").exists(), len(shortcuts()), list(reg("get", PRODUCTS))],
            [True, 1, [packed(product)]],
            "the installed exe, the Start menu shortcuts, the products of Vardix's upgrade code",
        )

    def do_run(self, *args):
        self.v = Vardix(*args, program=INSTALLED)
        self.stack.callback(self.v.stop)
        args or self.v.main()

    def do_applied(self):
        run = (1, f'"{INSTALLED}"  /runmin'.encode("utf-16-le") + b"\0\0")
        self.assertEqual(poll(lambda: (reg("get", RUN) or {}).get("Quorvantel"), 5), run, "the Run value")
        reg("set", RUN64, "Quorvantel", 1, run[1].hex())  # as an older 64-bit build may have left it
        reg("set", USER, "hotkey", 4, "00000000")  # the user's own settings, out of a machine-wide uninstall's reach

    def do_removed(self):
        self.assertEqual(
            [(drive_c() / "Program Files/Vardix").exists(), shortcuts(), reg("get", PRODUCTS)]
            + [(reg("get", key) or {}).get("Quorvantel") for key in (RUN, RUN64)]
            + [reg("get", SETTINGS), reg("get", USER)],
            [False, [], None, None, None, None, {"hotkey": dword(0)}],
            "the folder, the shortcuts, the products, the Run values (32-bit, 64-bit view), the settings, the user's key",
        )

    def test_package(self):
        self.stories(
            [("install, fill, upgrade and uninstall while it runs", None, INSTALL + UPGRADE + APPLY + UNINSTALL)]
        )
