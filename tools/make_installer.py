#!/usr/bin/env python3
"""Makes zrmon-setup.exe from the shipped folder with makensis.

  make_installer.py MAKENSIS SCRIPT DIST OUT [-DNAME=VALUE ...]

Every file below DIST goes into the installer, whatever the build put there;
config.ini is left to the script, which keeps a copy the user changed. The
list of files is written beside OUT (OUT.files.nsh) for the script's
ZR_FILE lines, and the definitions (OUT.defines, one a line) for whoever makes
an installer of another folder with them, as the installer's Wine test does.
makensis runs only when the files, the script or the definitions changed since
the last run."""
import hashlib
import os
import subprocess
import sys


def nsis_text(text):
    """A text inside an NSIS string in double quotes."""
    if '"' in text or "`" in text or "\n" in text:
        raise SystemExit("make_installer: cannot pack a file named %r" % text)
    return text.replace("$", "$$")


def shipped_files(dist):
    """(folder below DIST with a leading backslash or "", name, path) of every
    file, config.ini of the top folder excepted."""
    files = []
    for folder, dirs, names in os.walk(dist):
        dirs.sort()
        relative = os.path.relpath(folder, dist)
        sub = "" if relative == "." else "\\" + relative.replace(os.sep, "\\")
        for name in sorted(names):
            if sub == "" and name.lower() == "config.ini":
                continue
            files.append((sub, name, os.path.join(folder, name)))
    return files


def main(argv):
    if len(argv) < 5:
        raise SystemExit(__doc__)
    makensis, script, dist, out = argv[1:5]
    defines = argv[5:]
    if not os.path.isfile(os.path.join(dist, "config.ini")) or not os.path.isfile(os.path.join(dist, "zrmon.exe")):
        raise SystemExit("make_installer: %s holds no zrmon.exe and config.ini" % dist)
    files = shipped_files(dist)
    listing = os.path.abspath(out) + ".files.nsh"
    lines = ['!insertmacro ZR_FILE "%s" "%s" "%s"' % (nsis_text(sub), nsis_text(name), nsis_text(path))
             for sub, name, path in files]
    text = "\n".join(lines) + "\n"

    state = hashlib.sha256()
    with open(script, "rb") as f:
        state.update(f.read())
    state.update(text.encode())
    state.update("\0".join(defines).encode())
    for _, _, path in files + [("", "", os.path.join(dist, "config.ini"))]:
        st = os.stat(path)
        state.update(("%s %d %d\n" % (path, st.st_size, st.st_mtime_ns)).encode())
    stamp = os.path.abspath(out) + ".stamp"
    if os.path.exists(out) and os.path.exists(stamp):
        with open(stamp) as f:
            if f.read() == state.hexdigest():
                return 0

    with open(listing, "w") as f:
        f.write(text)
    with open(os.path.abspath(out) + ".defines", "w") as f:
        f.write("".join(d + "\n" for d in defines))
    command = [makensis, "-V2", "-NOCD", "-DZR_DIST=" + os.path.abspath(dist), "-DZR_FILES=" + listing,
               "-DZR_OUT=" + os.path.abspath(out)] + defines + [os.path.abspath(script)]
    result = subprocess.run(command)
    if result.returncode != 0:
        if os.path.exists(out):
            os.unlink(out)
        return result.returncode
    with open(stamp, "w") as f:
        f.write(state.hexdigest())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
