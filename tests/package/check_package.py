"""Checks the Debian package as a user who is not root would meet it: the
package unpacked into a temporary root, the program's folder read-only, a
template changed through the settings dialog lands in the user's own copy
under ~/.config/vantrix and comes back at the next start. Needs no root;
run as root, the program runs as the user nobody.

usage: check_package.py vantrix_<version>_<arch>.deb"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import vantrix_app as va  # noqa: E402
from xsession import Failure, XSession, wait_for  # noqa: E402

NOBODY = 65534
TEMPLATE = "PKG_X[@@1]=@@2;"


def unpack(deb, root):
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    program_dir = os.path.join(root, "usr", "lib", "vantrix")
    for path in (os.path.join(program_dir, name) for name in os.listdir(program_dir)):
        os.chmod(path, os.stat(path).st_mode & ~0o222)
    os.chmod(program_dir, 0o555)
    return os.path.join(program_dir, "Vantrix")


def ordinary_user(home):
    """The command prefix and the environment of a user who is not root."""
    if os.geteuid() != 0:
        return (), {"HOME": home}
    os.chown(home, NOBODY, NOBODY)
    return ("setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups"), {"HOME": home}


def run_once(session, program, folder, launcher, env, change):
    app = va.App(session, program, folder, extra_env=env, in_place=True, launcher=launcher)
    try:
        if change:
            app.click(va.SETTINGS_BUTTON)
            wait_for("the settings dialog", lambda: len(app.visible_windows()) > 1, seconds=10)
            time.sleep(0.4)
            session.key("ctrl+a")  # the first field has the focus at the first showing
            session.type(TEMPLATE)
            session.key("Return")
            app.wait_alone()
        session.x("xdotool", "windowactivate", "--sync", str(app.window), check=False)
        session.key("alt+F4")  # closed as a user closes it: the settings are written
        app.process.wait(10)
        return app.output()
    finally:
        app.close()


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    deb = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix="vantrix-package-") as work:
        os.chmod(work, 0o755)
        program = unpack(deb, os.path.join(work, "root"))
        home = os.path.join(work, "home")
        os.makedirs(home)
        launcher, env = ordinary_user(home)
        env["XDG_CONFIG_HOME"] = ""
        own_copy = os.path.join(home, ".config", "vantrix", "Vantrix.ini")
        session = XSession()
        try:
            output = run_once(session, program, os.path.join(work, "first"), launcher, env, change=True)
            if not os.path.exists(own_copy):
                raise Failure(f"no settings in the user's own copy after the first run; program said: {output}")
            if f"InX={TEMPLATE}".encode() not in open(own_copy, "rb").read():
                raise Failure("the changed template is not in the user's own copy")
            if os.path.exists(os.path.join(os.path.dirname(program), "Vantrix.ini")):
                raise Failure("a settings file appeared beside the installed program")
            # Read back at the next start: closing writes what was loaded.
            os.utime(own_copy, (0, 0))
            run_once(session, program, os.path.join(work, "second"), launcher, env, change=False)
            content = open(own_copy, "rb").read()
            if os.stat(own_copy).st_mtime == 0 or f"InX={TEMPLATE}".encode() not in content:
                raise Failure("the template did not come back at the next start")
        finally:
            session.close()
    print("PASS: the package runs for an ordinary user and keeps the settings in the user's own copy")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failure as error:
        print(f"FAIL: {error}")
        sys.exit(1)
