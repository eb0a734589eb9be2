#!/usr/bin/env bash
# Checks the source tree's layering and prints one line per offence
# ("file:line: what"); exits 1 when there is any.
#
#  - A file includes a header only from the folders its own folder may depend on:
#      core    core                       camera  core, camera
#      net     core, net                  gui     core, camera, net, gui
#      ctl     core, camera, net, ctl     sim     core, sim
#      app     everything but tests
#      tests, fuzz, bench: everything
#    A generated form header (ui_*.h) belongs to the folders that may use gui;
#    moc files go with the file that includes them. Of camera/, ctl/ includes
#    only the SDK layer (sdkbinding.h, camerasdk.h): the tool links neither Qt
#    Gui nor OpenCV.
#  - core/ includes no QtWidgets or QtNetwork header and no socket header of the OS.
#  - A parameter id (the ids core/paramcatalogue.h names) is written as a literal
#    only in the catalogue's own files (comments aside) within core, camera, net,
#    gui, ctl, app, sim and fuzz; the tests keep literal bytes as expected values.
#
#   scripts/check_layout.sh [source root]   (default: the repository)
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
exec python3 - "$root" <<'EOF'
import glob
import os
import re
import sys

root = sys.argv[1]
ALL = {"core", "camera", "net", "gui", "ctl", "app", "sim", "tests", "fuzz", "bench"}
ALLOWED = {
    "core": {"core"},
    "camera": {"core", "camera"},
    "net": {"core", "net"},
    "gui": {"core", "camera", "net", "gui"},
    "ctl": {"core", "camera", "net", "ctl"},
    "app": ALL - {"tests"},
    "sim": {"core", "sim"},
    "tests": ALL,
    "fuzz": ALL,
    "bench": ALL,
}
# Folders that may include only these headers of a folder they depend on.
ONLY = {("ctl", "camera"): {"camera/sdkbinding.h", "camera/camerasdk.h"}}
SOURCE = re.compile(r"\.(c|cc|cpp|cxx|h|hh|hpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
OS_SOCKETS = re.compile(
    r"^(sys/socket\.h|sys/un\.h|netinet/.*|arpa/.*|netdb\.h|net/.*|ifaddrs\.h|linux/(if|in|socket|netlink).*"
    r"|winsock2?\.h|ws2tcpip\.h|ws2def\.h|mswsock\.h|iphlpapi\.h|afunix\.h)$",
    re.IGNORECASE,
)
QT_FORBIDDEN_MODULES = ("QtWidgets", "QtNetwork")
# Used when the Qt headers are not installed where they are looked for.
QT_FORBIDDEN_FALLBACK = re.compile(
    r"^(Qt(Widgets|Network)(/.*)?|QNetwork\w*|Q(Udp|Tcp|Ssl|Local|Abstract)\w*(Socket|Server)\w*|QHostAddress"
    r"|QHostInfo|QDnsLookup|QWidget|QApplication|QMainWindow|QDialog|QMessageBox|QFileDialog|QLabel"
    r"|QPushButton|QTableWidget\w*|QListWidget\w*|QComboBox|QLineEdit|QAction|QMenu\w*|QToolBar"
    r"|QProgressBar|QTextBrowser|QStyleFactory|QTabWidget)$"
)

offences = []


def offend(path, line, text):
    offences.append(f"{os.path.relpath(path, root)}:{line}: {text}")


qt_dirs = [d for d in glob.glob("/usr/include/*/qt5") + glob.glob("/usr/include/qt5") if os.path.isdir(d)]


def forbidden_qt(header):
    first = header.split("/")[0]
    if first in QT_FORBIDDEN_MODULES:
        return True
    if not qt_dirs:
        return bool(QT_FORBIDDEN_FALLBACK.match(header))
    return any(os.path.exists(os.path.join(d, m, header)) for d in qt_dirs for m in QT_FORBIDDEN_MODULES)


def code_only(text):
    """The text with comments blanked (line breaks kept); strings stay code."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'":
            # A quoted literal, escapes skipped; a raw string ends at its own delimiter.
            m = re.match(r'R"([^(\s]*)\(', text[i - 1 : i + 20]) if c == '"' and i > 0 and text[i - 1] == "R" else None
            if m:
                end = text.find(")" + m.group(1) + '"', i)
                j = n if end < 0 else end + len(m.group(1)) + 2
            else:
                j = i + 1
                while j < n and text[j] != c and text[j] != "\n":
                    j += 2 if text[j] == "\\" else 1
                j = min(j + 1, n)
            out.append(text[i:j])
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


# The parameter ids the catalogue names.
catalogue = os.path.join(root, "core", "paramcatalogue.h")
ids = set()
if os.path.exists(catalogue):
    with open(catalogue, encoding="utf-8", errors="replace") as f:
        for m in re.finditer(r"constexpr\s+quint16\s+kId\w+\s*=\s*0[xX]([0-9A-Fa-f]{4})\s*;", f.read()):
            ids.add(m.group(1).upper())
    if not ids:
        offend(catalogue, 1, "no parameter ids found (constexpr quint16 kId... = 0x....;)")
id_literal = re.compile(r"\b0[xX]0*(" + "|".join(sorted(ids)) + r")[uUlL]*\b", re.IGNORECASE) if ids else None
ID_FOLDERS = {"core", "camera", "net", "gui", "ctl", "app", "sim", "fuzz"}

for folder in sorted(ALL):
    base = os.path.join(root, folder)
    for dirpath, dirnames, filenames in os.walk(base):
        dirnames[:] = [d for d in dirnames if d not in ("corpus", "build")]
        for name in sorted(filenames):
            if not SOURCE.search(name):
                continue
            path = os.path.join(dirpath, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            code = code_only(text)
            for number, line in enumerate(code.split("\n"), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                quote, header = m.groups()
                if quote == '"' and ".." in header.split("/"):
                    target = os.path.relpath(os.path.normpath(os.path.join(dirpath, header)), root)
                else:
                    target = header
                first = target.split("/")[0]
                base_name = os.path.basename(header)
                if "/" not in target:
                    if base_name.startswith("ui_") and "gui" not in ALLOWED[folder]:
                        offend(path, number, f"includes the generated form header {header}, which belongs to gui")
                elif first in ALL and first not in ALLOWED[folder]:
                    offend(path, number, f"{folder}/ may not include {header} ({first}/)")
                elif (folder, first) in ONLY and target not in ONLY[(folder, first)]:
                    allowed = ", ".join(sorted(ONLY[(folder, first)]))
                    offend(path, number, f"{folder}/ may include of {first}/ only {allowed}, not {header}")
                if folder == "core" and quote == "<":
                    if forbidden_qt(header):
                        offend(path, number, f"core/ includes the QtWidgets or QtNetwork header <{header}>")
                    elif OS_SOCKETS.match(header):
                        offend(path, number, f"core/ includes the socket header <{header}>")
            own_catalogue = folder == "core" and name.startswith("paramcatalogue.")
            if id_literal and folder in ID_FOLDERS and not own_catalogue:
                for number, line in enumerate(code.split("\n"), 1):
                    for m in id_literal.finditer(line):
                        offend(path, number, f"parameter id {m.group(0)} written as a literal; use paramcat's name")

for line in offences:
    print(line)
sys.exit(1 if offences else 0)
EOF
