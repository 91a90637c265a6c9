#!/usr/bin/env python3
"""The Debian package: CPack builds it with the runtime dependencies found by shlibdeps and every
file a desktop needs; the desktop entry, the autostart entry and the AppStream data validate; the
program extracted into a throwaway root runs under a tray host, shows its icon, and "My Shows"
opens the main window with the bundled page, page and icons found beside the program itself."""

import glob
import os
import re
import subprocess

import guitest as g

BUILD = os.environ.get("QUORVEL_BUILD_DIR", os.path.join(g.SOURCE, "build"))
APPLICATIONS = "./usr/share/applications/net.quorvel.Quorvel.desktop"
AUTOSTART = "./etc/xdg/autostart/net.quorvel.Quorvel.desktop"
METAINFO = "./usr/share/metainfo/net.quorvel.Quorvel.metainfo.xml"
SHIPPED = ["./usr/bin/quorvel", "./usr/share/quorvel/page/main.html",
           "./usr/share/quorvel/page/main.js", "./usr/share/quorvel/page/style.css",
           APPLICATIONS, AUTOSTART, METAINFO] + [
    f"./usr/share/icons/hicolor/{size}/apps/{name}.{'svg' if size == 'scalable' else 'png'}"
    for size in ("16x16", "20x20", "22x22", "24x24", "32x32", "48x48", "scalable")
    for name in ("quorvel", "quorvel-today")]
RUNTIME = ["libgtk-3-0", "libwebkit2gtk-4.1-0", "libayatana-appindicator3-1", "libnotify4",
           "libcurl4", "libxml2", "libsoup-3.0-0", "libc6"]
# The copies beside the program are marked, so the test sees which copy the program used.
OWN_ICONS = "usr/share/quorvel/resources/icons/hicolor"
MARK_COLOUR = "#00b000"


def build_package(d):
    out = os.path.join(d.dir, "package")
    built = subprocess.run(["cpack", "-G", "DEB", "-B", out], cwd=BUILD, capture_output=True,
                           text=True, timeout=300)
    failure = "" if built.returncode == 0 else built.stdout[-400:] + built.stderr[-400:]
    g.require(built.returncode == 0, f"cpack -G DEB builds the package {failure}")
    debs = glob.glob(os.path.join(out, "*.deb"))
    return g.require(debs, f"one .deb is made {debs}")[0]


def check_contents(deb):
    control = g.run("dpkg-deb", "-f", deb, "Depends")
    missing = [lib for lib in RUNTIME if lib not in control]
    g.check(not missing, f"Depends names the runtime libraries (missing {missing}): {control.strip()}")
    listed = {line.split(None, 5)[5].split(" -> ")[0]
              for line in g.run("dpkg-deb", "-c", deb).splitlines() if len(line.split(None, 5)) == 6}
    absent = [path for path in SHIPPED if path not in listed]
    g.check(any(re.fullmatch(r"\./usr/lib/([^/]+/)?quorvel/quorvel-browser", path) for path in listed),
            "the package holds the browser window program in its lib folder")
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
        deb = build_package(d)
        check_contents(deb)
        root = os.path.join(d.dir, "root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True, timeout=60)
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
