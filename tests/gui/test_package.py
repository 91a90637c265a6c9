#!/usr/bin/env python3
"""The Debian package: scripts/package builds it from debian/ with dpkg-buildpackage, lintian finds
no error or warning in it, its manual page renders without a warning and names every variable the
README does, it holds the runtime dependencies found by shlibdeps and every file a desktop needs;
the desktop entry, the autostart entry and the AppStream data validate; the program extracted into
a throwaway root runs under a tray host, shows its icon, and "My Shows" opens the main window with
the bundled page, page and icons found beside the program itself."""

import glob
import os
import re
import shutil
import subprocess

import guitest as g

BUILD = os.environ.get("QUORVEL_BUILD_DIR", os.path.join(g.SOURCE, "build"))
APPLICATIONS = "./usr/share/applications/net.quorvel.Quorvel.desktop"
AUTOSTART = "./etc/xdg/autostart/net.quorvel.Quorvel.desktop"
METAINFO = "./usr/share/metainfo/net.quorvel.Quorvel.metainfo.xml"
# The page's files: main.html loads the five scripts and the style sheet.
PAGE_FILES = ["main.html", "format.js", "bridge.js", "lists.js", "views.js", "main.js", "style.css",
              "placeholder.svg"]
MANUAL = "./usr/share/man/man1/quorvel.1.gz"
SHIPPED = ["./usr/bin/quorvel", MANUAL, "./usr/share/doc/quorvel/copyright",
           "./usr/share/doc/quorvel/changelog.gz", APPLICATIONS, AUTOSTART, METAINFO] + [
    f"./usr/share/quorvel/page/{name}" for name in PAGE_FILES] + [
    f"./usr/share/icons/hicolor/{size}/apps/{name}.{'svg' if size == 'scalable' else 'png'}"
    for size in ("16x16", "20x20", "22x22", "24x24", "32x32", "48x48", "scalable")
    for name in ("quorvel", "quorvel-today")]
RUNTIME = ["libgtk-3-0", "libwebkit2gtk-4.1-0", "libayatana-appindicator3-1", "libnotify4",
           "libcurl4", "libxml2", "libsoup-3.0-0", "libc6"]
# The copies beside the program are marked, so the test sees which copy the program used.
OWN_ICONS = "usr/share/quorvel/resources/icons/hicolor"
MARK_COLOUR = "#00b000"


def build_package():
    # A fixed folder below the build tree, so ccache finds the same paths on the next run. The unit
    # tests have their own run in the suite; no debug symbols package is needed here.
    out = os.path.join(BUILD, "package-test")
    env = dict(os.environ, DEB_BUILD_OPTIONS="nocheck noautodbgsym")
    built = subprocess.run([os.path.join(g.SOURCE, "scripts", "package"), "--source", out],
                           env=env, capture_output=True, text=True, timeout=480)
    failure = "" if built.returncode == 0 else built.stdout[-1500:] + built.stderr[-1500:]
    g.require(built.returncode == 0, f"scripts/package builds the package {failure}")
    debs = glob.glob(os.path.join(out, "quorvel_*.deb"))
    # The source package's own checks (debian/copyright, debian/rules...) and the binary's.
    checked = glob.glob(os.path.join(out, "deb", "quorvel_*.dsc")) + glob.glob(
        os.path.join(out, "deb", "quorvel_*.changes"))
    g.require(len(debs) == 1 and len(checked) == 2,
              f"a .deb, a .dsc and a .changes {debs} {checked}")
    return debs[0], checked


def check_lintian(checked):
    # At lintian's default level, informational tags shown.
    g.require(shutil.which("lintian"), "lintian is installed (scripts/setup installs it)")
    result = subprocess.run(["lintian", "--display-info", "--tag-display-limit", "0", *checked],
                            capture_output=True, text=True, timeout=600)
    tags = [line for line in result.stdout.splitlines() if re.match(r"^[EWIPOX]: ", line)]
    for line in tags:
        if line.startswith(("I: ", "P: ", "X: ")):
            g.note("lintian " + line)
    bad = [line for line in tags if line.startswith(("E: ", "W: "))]
    trouble = "" if result.returncode == 0 else result.stderr.strip()[-300:]
    g.check(not bad and result.returncode == 0, f"lintian reports no error or warning {bad} {trouble}")


def readme_variables():
    with open(os.path.join(g.SOURCE, "README.md")) as f:
        readme = f.read()
    return sorted(set(re.findall(r"^\| `(QUORVEL_[A-Z_]+)`", readme, re.M)))


def check_manual(root):
    page = os.path.join(root, MANUAL[2:])
    with open(page, "rb") as f:
        g.check(f.read(2) == b"\x1f\x8b", "the manual page is gzipped")
    shown = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, text=True,
                           timeout=30, env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
    g.check(shown.returncode == 0 and not shown.stderr.strip(),
            f"man --warnings renders quorvel(1) without a warning {shown.stderr.strip()[-500:]}")
    found = subprocess.run(["man", "-M", os.path.join(root, "usr/share/man"), "-w", "1", "quorvel"],
                           capture_output=True, text=True, timeout=30)
    g.check(os.path.realpath(found.stdout.strip()) == os.path.realpath(page),
            f"man finds quorvel(1) in its section {found.stdout}")
    text = shown.stdout
    for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "ENVIRONMENT", "FILES",
                    "EXIT STATUS"):
        g.check(re.search(rf"^{section}$", text, re.M), f"quorvel(1) has a {section} section")
    environment = text[text.find("\nENVIRONMENT\n"):text.find("\nFILES\n")]
    variables = readme_variables()
    g.check(len(variables) >= 6, f"the README's host table is read {variables}")
    missing = [v for v in variables + ["QUORVEL_INSTANCE_NAME"] if v not in environment]
    g.check(not missing, f"quorvel(1) describes every variable of the README (missing {missing})")
    files = text[text.find("\nFILES\n"):text.find("\nEXIT STATUS\n")]
    absent = [path for path in ("favorites.xml", "registry.ini", "$XDG_CACHE_HOME/quorvel/",
                                "quorvel.ics", "/etc/xdg/autostart/") if path not in files]
    g.check(not absent, f"quorvel(1) names the data, settings, cache and calendar files {absent}")


def check_version(deb):
    with open(os.path.join(g.SOURCE, "CMakeLists.txt")) as f:
        version = re.search(r"project\(quorvel VERSION ([0-9.]+)", f.read()).group(1)
    packaged = g.run("dpkg-deb", "-f", deb, "Version").strip()
    g.check(packaged == version, f"debian/changelog carries the program's version {version}: "
            f"{packaged}")


def check_contents(deb):
    control = g.run("dpkg-deb", "-f", deb, "Depends")
    missing = [lib for lib in RUNTIME if lib not in control]
    g.check(not missing, f"Depends names the runtime libraries (missing {missing}): {control.strip()}")
    listed = {line.split(None, 5)[5].split(" -> ")[0]
              for line in g.run("dpkg-deb", "-c", deb).splitlines() if len(line.split(None, 5)) == 6}
    absent = [path for path in SHIPPED if path not in listed]
    for helper, what in (("quorvel-browser", "browser window"), ("quorvel-fetch", "download")):
        g.check(any(re.fullmatch(r"\./usr/lib/([^/]+/)?quorvel/" + helper, path) for path in listed),
                f"the package holds the {what} program in its lib folder")
    g.check(not absent, f"the package holds program, page, icons, entries, metainfo (missing {absent})")
    g.check(not any("/home/" in path or "Quorvel/" in path for path in listed),
            "the package holds no user data folder")
    conffiles = g.run("dpkg-deb", "--info", deb, "conffiles").split()
    g.check(AUTOSTART[1:] in conffiles, f"the autostart entry is a conffile {conffiles}")


def validate(root):
    if g.run("sh", "-c", "command -v desktop-file-validate").strip():
        for entry in (APPLICATIONS, AUTOSTART):
            result = subprocess.run(["desktop-file-validate", os.path.join(root, entry)],
                                    capture_output=True, text=True, timeout=20)
            g.check(result.returncode == 0 and "error" not in result.stdout,
                    f"desktop-file-validate {entry} {result.stdout.strip()}")
    else:
        g.note("desktop-file-validate is not installed: the entries are not validated")
    if g.run("sh", "-c", "command -v appstreamcli").strip():
        result = subprocess.run(["appstreamcli", "validate", "--no-net",
                                 os.path.join(root, METAINFO)], capture_output=True, text=True,
                                timeout=30)
        g.check(result.returncode == 0, f"appstreamcli validate {result.stdout.strip()[-300:]}")
    else:
        g.note("appstreamcli is not installed: the AppStream data is not validated")


def mark_own_copies(root, server):
    page = os.path.join(root, "usr/share/quorvel/page/main.html")
    with open(page) as f:
        html = f.read()
    marker = f'<img src="{server.base}/banners/installed-page.png" alt="" hidden>'
    with open(page, "w") as f:
        f.write(html.replace("</body>", marker + "</body>"))
    for size in ("16x16", "20x20", "22x22", "24x24", "32x32", "48x48"):
        subprocess.run(["convert", "-size", size, f"xc:{MARK_COLOUR}",
                        os.path.join(root, OWN_ICONS, size, "apps", "quorvel.png")], check=True)
    with open(os.path.join(root, OWN_ICONS, "scalable/apps/quorvel.svg"), "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">'
                f'<rect width="16" height="16" fill="{MARK_COLOUR}"/></svg>')


def run_extracted(d, root, server):
    program_path = os.path.join(root, "usr/bin/quorvel")
    env = dict(d.env, QUORVEL_TVDB_HOST=server.host)
    env.pop("QUORVEL_DATA_DIR", None)
    d.start_trayer()
    program = d.start_program(env, program_path)
    icon = g.require(g.settled_tray_icon(20), "the extracted program's icon appears")
    pixels = g.region_pixels(g.screenshot(os.path.join(d.dir, "tray.png")), icon["x"], icon["y"],
                             icon["width"], icon["height"])
    marked = sum(1 for r, gr, b in pixels if gr > 150 and r < 40 and b < 40)
    g.check(marked >= 25, f"the icon comes from the program's own prefix ({marked} marked pixels)")

    g.require(d.choose("My Shows"), "My Shows chosen")
    window = g.require(g.wait_until(lambda: (g.main_windows() or [None])[0], 15),
                       "My Shows opens the main window")
    loaded = g.wait_until(lambda: "/banners/installed-page.png" in server.hits(), 15)
    g.check(bool(loaded), "the window loaded the page shipped beside the program")
    shot = os.path.join(d.dir, "window.png")
    drawn = g.wait_until(lambda: g.distinct_colours(g.screenshot(shot), g.window_geometry(window))
                         > 50, 10)
    colours = g.distinct_colours(shot, g.window_geometry(window))
    g.check(bool(drawn), f"the page is drawn ({colours} colours in the window)")

    g.key(window, "Escape")
    g.wait_until(lambda: not g.main_windows(), 5)
    d.choose("Exit")
    g.check(d.wait_exit(program) == 0, "Exit ends the extracted program with code 0")


def main():
    with g.Desktop("package") as d:
        deb, checked = build_package()
        check_contents(deb)
        check_version(deb)
        check_lintian(checked)
        root = os.path.join(d.dir, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True, timeout=60)
        check_manual(root)
        validate(root)
        server = g.TestServer(d)
        mark_own_copies(root, server)
        run_extracted(d, root, server)


if __name__ == "__main__":
    try:
        main()
    except g.Stop:
        pass
    raise SystemExit(g.finish())
