#!/usr/bin/env python3
"""What a screen reader sees of the client, through the real accessibility bus.

Starts a chatd and the client on a virtual display with a session bus of its
own (so the desktop's accessibility bus is the one Orca would use), logs a
second user in over a plain socket who says something in the common room,
and prints the client's accessibility tree (role, name, and the text of
panes and fields) once that message is in it.

    scripts/atspi_dump.py [--build DIR] [--expect TEXT] [--depth N] [--full] [--game]

With --game the second user then invites the client to checkers; the
questions are answered through the bus (as a screen reader user would press
"Yes") and the game window's tree is printed: the board by its game and
position, its squares by coordinate and piece.

Exit status: 0 when the message was found in the tree, 1 when not, 77 (a
skip, as CTest counts it) with a message when python3-pyatspi, Xvfb or the
D-Bus session tools are missing.  Debian packages: python3-pyatspi
at-spi2-core xvfb dbus-daemon.
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
INNER = "CHAT_ATSPI_INNER"


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


def import_pyatspi():
    try:
        import pyatspi  # noqa: F401
        return
    except ImportError:
        pass
    # The Debian package installs for the system's Python; another python3
    # first on PATH does not see it.
    system = "/usr/bin/python3"
    if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
        os.execv(system, [system] + sys.argv)
    skip("python3-pyatspi is not installed (apt-get install python3-pyatspi)")


def outer(args):
    """Re-runs this script on a virtual display with a session bus of its own."""
    import_pyatspi()
    for tool in ("Xvfb", "dbus-run-session"):
        if not shutil.which(tool):
            skip(tool + " is missing (Debian packages xvfb, dbus-daemon)")
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        skip("the accessibility bus launcher is missing (Debian package at-spi2-core)")
    # Xvfb picks a free display itself and tells its number.  Without
    # -noreset the server resets when its last client leaves (the bus
    # launcher's short connection), and a client connecting then is refused.
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        display = f.readline().strip()
    try:
        if not display:
            print("Xvfb did not start")
            sys.exit(1)
        env = dict(os.environ, DISPLAY=":" + display, **{INNER: "1"})
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.pop("AT_SPI_BUS_ADDRESS", None)
        env.pop("WAYLAND_DISPLAY", None)
        command = ["dbus-run-session", "--", sys.executable, os.path.abspath(__file__)] + sys.argv[1:]
        sys.exit(subprocess.call(command, env=env))
    finally:
        xvfb.terminate()
        xvfb.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def login(port, name):
    """Logs `name` in (creating the account); answers the socket, the user number and what was read."""
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    line = ("l\xa6Num=;Name=%s;Email=a@example.org;Color_Bacg=#ffffff;Color_Text=#000000;"
            "Pass=pw;Type=7;Ver=2.8;\xa6\n" % name)
    s.sendall(line.encode("cp1251"))
    data = b""
    while b"NewUserNum=" not in data or not data.endswith(b"\n"):
        chunk = s.recv(4096)
        if not chunk:
            raise RuntimeError("chatd closed the login of " + name)
        data += chunk
    number = data.split(b"NewUserNum=", 1)[1].split(b";", 1)[0].decode("cp1251")
    return s, number, data


def wait_for_user(s, name, seen, deadline):
    """Reads what chatd sends `s` until an online list names `name`."""
    s.settimeout(0.5)
    while time.time() < deadline:
        if ("User=" + name + ",").encode("cp1251") in seen:
            return True
        try:
            chunk = s.recv(65536)
        except socket.timeout:
            continue
        if not chunk:
            return False
        seen = (seen + chunk)[-65536:]
    return False


def text_of(node):
    try:
        t = node.queryText()
        return t.getText(0, min(t.characterCount, 4000))
    except Exception:
        return ""


def walk(node, depth, limit, out):
    if node is None or depth > limit:
        return
    try:
        role, name, count = node.getRoleName(), node.name, node.childCount
    except Exception:
        return
    out.append((depth, role, name, text_of(node) if role in ("document frame", "text", "entry", "list",
                                                              "paragraph") else ""))
    for i in range(min(count, 200)):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        walk(child, depth + 1, limit, out)


def nodes_of(node, depth=0, limit=30):
    if node is None or depth > limit:
        return
    yield node
    try:
        count = node.childCount
    except Exception:
        return
    for i in range(min(count, 200)):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from nodes_of(child, depth + 1, limit)


def answer_yes(pyatspi, app, question, deadline):
    """Presses "Yes" in the question box that asks `question`, as a screen reader user does."""
    while time.time() < deadline:
        for box in nodes_of(app, 0, 2):
            try:
                if box.getRoleName() not in ("alert", "dialog"):
                    continue
                inside = list(nodes_of(box))
                if not any(question in (n.name or "") for n in inside):
                    continue
                for n in inside:
                    if n.getRoleName() == "push button" and n.name == "Yes":
                        n.queryAction().doAction(0)
                        return True
            except Exception:
                continue
        time.sleep(0.3)
    return False


def game_board(app, deadline):
    while time.time() < deadline:
        for node in nodes_of(app):
            try:
                if node.getRoleName() == "list" and node.name.startswith("Checkers"):
                    return node
            except Exception:
                continue
        time.sleep(0.3)
    return None


def play_invitation(pyatspi, app, writer):
    """The writer invites the client to checkers; the client accepts and plays white."""
    writer.sendall(b"x\xa6Cln=reader;Mess=Gm:Chk:Let us play checkers?;Mid=2;\xa6\n")
    writer.sendall(b"x\xa6Cln=reader;Mess=Gm:Chk:Version:2.8;Mid=3;\xa6\n")
    for question in ("writer: Let's play checkers?", "Do you want to play white pieces?"):
        if not answer_yes(pyatspi, app, question, time.time() + 15):
            print("never asked: " + question)
            return False
    board = game_board(app, time.time() + 15)
    if board is None:
        print("no checkers board on the bus; the windows there:")
        for node in nodes_of(app, 0, 1):
            print("  %s \"%s\"" % (node.getRoleName(), node.name))
        return False
    frame = board  # the game's top-level window
    while frame.parent is not None and frame.parent.getRoleName() != "application":
        frame = frame.parent
    nodes = []
    walk(frame, 0, 12, nodes)
    shown_items = 0
    for depth, role, name, text in nodes:
        if role in ("filler", "panel") and not name and not text:
            continue
        if role == "list item":
            shown_items += 1
            if shown_items > 10:
                continue
        print("%s%s \"%s\"%s" % ("  " * depth, role, name, " text: " + text.replace("\n", " | ") if text else ""))
    print("(%d squares)" % shown_items)
    ok = board.name == "Checkers, white to move" and board.childCount == 64
    print(("BOARD: " if ok else "BOARD WRONG: ") + board.name)
    return ok


def find_app(pyatspi, pid, deadline):
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                continue
        time.sleep(0.2)
    return None


def inner(args):
    import pyatspi
    build = os.path.abspath(args.build)
    client, chatd = os.path.join(build, "bin", "chat-browser"), os.path.join(build, "bin", "chatd")
    for program in (client, chatd):
        if not os.access(program, os.X_OK):
            print("not built: " + program)
            return 1
    work = tempfile.mkdtemp(prefix="chat-atspi-")
    chat_port, http_port = free_port(), free_port()
    server = subprocess.Popen([chatd, "--port", str(chat_port), "--http-port", str(http_port),
                               "--data", os.path.join(work, "chatd"), "--quiet"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    processes = [server]
    try:
        if b"listening" not in server.stdout.readline():
            print("chatd did not start")
            return 1
        reader, number, _ = login(chat_port, "reader")
        reader.close()
        data = os.path.join(work, "client")
        os.makedirs(data)
        with open(os.path.join(data, "molvat.ini"), "wb") as ini:
            ini.write(("[Global]\r\nUserName=reader\r\nPassword=pw\r\nUserNum=%s\r\nPort1=%d\r\n"
                       "ChatDir=http://127.0.0.1:%d/cgi-bin/chat/\r\n" % (number, chat_port, http_port))
                      .encode("cp1251"))
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   QT_ACCESSIBILITY="1")
        log_path = os.path.join(work, "client.log")
        log = open(log_path, "wb")
        app_process = subprocess.Popen([client, "--data-dir", data], env=env, stdout=log, stderr=subprocess.STDOUT)
        processes.append(app_process)
        app = find_app(pyatspi, app_process.pid, time.time() + 40)
        if app is None:
            print("the client never appeared on the accessibility bus (exit status %s); its output:"
                  % app_process.poll())
            with open(log_path, "rb") as f:
                print(f.read()[-3000:].decode("utf-8", "replace"))
            return 1
        # The second user speaks once the online list shows the reader in the room.
        writer, _, seen = login(chat_port, "writer")
        if not wait_for_user(writer, "reader", seen, time.time() + 30):
            print("the client never logged in")
            return 1
        writer.sendall(("x\xa6Mess=%s;\xa6\n" % args.expect).encode("cp1251"))
        found, nodes = False, []
        deadline = time.time() + 15
        while time.time() < deadline and not found:
            nodes = []
            walk(app, 0, args.depth, nodes)
            found = any(args.expect in text for _, _, _, text in nodes)
            if not found:
                time.sleep(0.5)
        for depth, role, name, text in nodes:
            if not args.full and role in ("filler", "panel") and not name and not text:
                continue
            line = "%s%s \"%s\"" % ("  " * depth, role, name)
            if text:
                shown = text.replace("\n", " | ")
                line += " text: " + (shown[-160:] if len(shown) > 160 else shown)
            print(line)
        print("FOUND: " + args.expect if found else "NOT FOUND: " + args.expect)
        if found and args.game:
            found = play_invitation(pyatspi, app, writer)
        writer.close()
        return 0 if found else 1
    finally:
        for p in reversed(processes):
            p.terminate()
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build"))
    parser.add_argument("--expect", default="Hello from the bus")
    parser.add_argument("--depth", type=int, default=30)
    parser.add_argument("--full", action="store_true", help="also print unnamed panels and fillers")
    parser.add_argument("--game", action="store_true", help="then accept a checkers invitation and print the game window")
    args = parser.parse_args()
    if os.environ.get(INNER) != "1":
        outer(args)
    sys.exit(inner(args))


if __name__ == "__main__":
    main()
