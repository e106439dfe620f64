#!/usr/bin/python3
"""Opens quorlind-bench's HTML reports in headless Chromium with networking off.

browser_report_test.py --bench PATH [--work DIR]

Makes reports from real short runs (both kinds, two runs each), from a saved
result through `report`, from a comparison of two results, and from a result
whose strings hold markup and script. For each page Chromium must load it
with no console message, no script error and no network request (watched
through the DevTools protocol), the DOM dumped by --dump-dom must hold the
expected charts and series, and a --screenshot must show the plot areas and
the series' colours. Exit 0 when every check passes, 1 otherwise, 77
(skipped) when Chromium or PIL is not installed.
"""
import argparse
import copy
import importlib.util
import json
import os
import shutil
import subprocess
import sys
import tempfile

from checks import check, failures, run as bench
from report_dom import parse_dom
from devtools_pipe import DevToolsPipe

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--disable-default-apps", "--mute-audio",
    # Belt and braces for when no network namespace of our own can be had:
    # every name is unresolvable and every proxied request goes nowhere.
    "--host-resolver-rules=MAP * ~NOTFOUND", "--proxy-server=http://127.0.0.1:9",
    "--proxy-bypass-list=<-loopback>",
]
WINDOW = (1280, 1800)
BROWSER_SECONDS = 90
PLOT_AREA = (247, 247, 247)  # .plot-area's fill
PLOT_AREA_UNDER_BAND = (219, 219, 219)  # the same under the confidence band's grey
SERIES_BLUE = (0, 114, 178)  # the first series, Okabe-Ito blue
SERIES_VERMILLION = (213, 94, 0)  # the second
HOSTILE = ("\"'><script>document.title='pwned'</script>"
           "<img src=\"http://198.51.100.7/x.png\" onerror=\"document.title='pwned'\"><!--")



def network_namespace_prefix():
    """`unshare -n` where we may have a namespace with no network at all."""
    unshare = shutil.which("unshare")
    if unshare and subprocess.run([unshare, "-n", "true"], capture_output=True).returncode == 0:
        return [unshare, "-n"]
    print("note: no network namespace available; relying on the proxy and resolver rules", file=sys.stderr)
    return []


class Browser:
    def __init__(self, work):
        self.work = work
        self.prefix = network_namespace_prefix()
        self.launches = 0

    def command(self, *extra):
        self.launches += 1
        profile = os.path.join(self.work, f"profile-{self.launches}")
        return self.prefix + [CHROMIUM, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *extra]

    def dump_dom(self, url):
        result = subprocess.run(self.command("--dump-dom", url), capture_output=True, text=True,
                                timeout=BROWSER_SECONDS)
        check(result.returncode == 0, f"--dump-dom {url} exited {result.returncode}: {result.stderr[-2000:]}")
        return result.stdout

    def screenshot(self, url, path):
        result = subprocess.run(self.command(f"--screenshot={path}", f"--window-size={WINDOW[0]},{WINDOW[1]}",
                                             "--hide-scrollbars", url),
                                capture_output=True, text=True, timeout=BROWSER_SECONDS)
        check(result.returncode == 0 and os.path.exists(path),
              f"--screenshot {url} exited {result.returncode}: {result.stderr[-2000:]}")

    def watch_load(self, url):
        """Loads the page under the DevTools protocol; returns (console and log messages, requests)."""
        with DevToolsPipe(self.command("--remote-debugging-pipe", "about:blank")) as devtools:
            session = devtools.attach_to_new_page()
            for domain in ("Runtime", "Log", "Network", "Page"):
                devtools.call(f"{domain}.enable", session=session)
            devtools.call("Page.navigate", {"url": url}, session=session)
            devtools.wait_for_event("Page.loadEventFired", session=session, seconds=BROWSER_SECONDS)
            devtools.settle(seconds=1.0)  # late requests (fonts, lazy images) would show up here
            events = devtools.events
        messages = []
        requests = []
        for event in events:
            method, params = event.get("method"), event.get("params", {})
            if method == "Runtime.consoleAPICalled":
                messages.append(f"console.{params.get('type')}: {params.get('args')}")
            elif method == "Runtime.exceptionThrown":
                messages.append(f"exception: {params.get('exceptionDetails')}")
            elif method == "Log.entryAdded":
                entry = params.get("entry", {})
                messages.append(f"log {entry.get('level')}: {entry.get('text')} ({entry.get('url', '')})")
            elif method == "Network.requestWillBeSent":
                request_url = params.get("request", {}).get("url", "")
                if request_url != url:
                    requests.append(request_url)
        return messages, requests


REFERENCE_ATTRIBUTES = {"src", "href", "xlink:href", "srcset", "action", "formaction", "poster", "data",
                        "background", "manifest", "ping"}
LOADING_ELEMENTS = {"img", "iframe", "frame", "object", "embed", "link", "audio", "video", "source", "base"}


def check_self_contained(name, dom, raw_text=None):
    """Nothing in the page refers outside it: no loading element, no address attribute, no url() in
    any style. The raw page of clean data holds no address even as text."""
    for element in dom.find_all():
        check(element.tag not in LOADING_ELEMENTS, f"{name}: a <{element.tag}> element")
        for attribute, value in element.attrs.items():
            check(attribute not in REFERENCE_ATTRIBUTES, f"{name}: <{element.tag} {attribute}={value!r}>")
            check(attribute != "style" or "url(" not in value, f"{name}: url() in a style attribute")
        if element.tag == "script":
            check("src" not in element.attrs, f"{name}: a script with a source")
    for style in dom.find_all("style"):
        check("url(" not in style.text() and "@import" not in style.text(), f"{name}: the style sheet loads")
    if raw_text is not None:
        start = raw_text.find('<script type="application/json"')
        end = raw_text.find("</script>", start)
        check(start > 0 and end > start, f"{name}: no embedded data element")
        outside = raw_text[:start] + raw_text[end:]
        for needle in ("http:", "https:", "//", "url(", "@import"):
            check(needle not in outside, f"{name}: '{needle}' outside the embedded data")


def check_embedded(name, dom, expected):
    scripts = dom.find_all("script")
    check(len(scripts) == 1, f"{name}: {len(scripts)} script elements, expected only the data")
    if scripts:
        check(scripts[0].attrs.get("type") == "application/json", f"{name}: the script element is not data")
        try:
            check(json.loads(scripts[0].text()) == expected, f"{name}: the embedded JSON differs from the input")
        except ValueError as error:
            check(False, f"{name}: the embedded JSON does not parse: {error}")


def check_chart(name, dom, chart_id, series):
    figures = [f for f in dom.find_all("figure") if f.attrs.get("data-chart") == chart_id]
    if not check(len(figures) == 1, f"{name}: chart {chart_id} missing"):
        return
    figure = figures[0]
    svg = figure.find_all("svg")
    check(any("plot" in s.attrs.get("class", "") for s in svg), f"{name}: {chart_id} has no plot")
    found = [g.attrs.get("data-series") for g in figure.find_all("g") if "data-series" in g.attrs]
    check(found == series, f"{name}: {chart_id} has series {found}, expected {series}")
    axes = [g for g in figure.find_all("g") if "axis" in g.attrs.get("class", "").split()]
    check(len(axes) >= 1 and all(g.find_all("text") for g in axes), f"{name}: {chart_id} has no labelled axis")
    check(len(figure.find_all("li")) >= len(series), f"{name}: {chart_id} legend is short")


def close_to(pixel, colour, tolerance=10):
    return all(abs(p - c) <= tolerance for p, c in zip(pixel, colour))


def check_screenshot(name, path, colours, min_pixels):
    """Not blank, the plot areas there, and more of each series colour than a legend swatch holds
    (a line of the legend is about 100 pixels)."""
    from PIL import Image
    if not os.path.exists(path):
        return
    image = Image.open(path).convert("RGB")
    check(image.size == WINDOW, f"{name}: screenshot is {image.size}, expected {WINDOW}")
    small = image.resize((image.width // 2, image.height // 2))
    pixels = list(small.getdata())
    non_white = sum(1 for p in pixels if p != (255, 255, 255))
    check(non_white > len(pixels) * 0.03, f"{name}: screenshot is nearly blank ({non_white} of {len(pixels)})")
    check(len(set(pixels)) > 50, f"{name}: screenshot has only {len(set(pixels))} colours")
    full = list(image.getdata())
    plot = sum(1 for p in full if p == PLOT_AREA or close_to(p, PLOT_AREA_UNDER_BAND, 3))
    check(plot > 40000, f"{name}: plot areas cover only {plot} pixels")
    for colour in colours:
        count = sum(1 for p in full if close_to(p, colour))
        check(count >= min_pixels, f"{name}: only {count} pixels of series colour {colour}")


def check_quiet_load(name, browser, url):
    messages, requests = browser.watch_load(url)
    check(not messages, f"{name}: console or log messages: {messages}")
    check(not requests, f"{name}: network requests: {requests}")


def run_page_checks(browser, work, name, path, dom_checks, colours, clean_data=True, min_pixels=200):
    url = "file://" + os.path.abspath(path)
    with open(path, encoding="utf-8") as file:
        raw_text = file.read()
    check_quiet_load(name, browser, url)
    dom = parse_dom(browser.dump_dom(url))
    check_self_contained(name, dom, raw_text if clean_data else None)
    dom_checks(dom)
    shot = os.path.join(work, name + ".png")
    browser.screenshot(url, shot)
    check_screenshot(name, shot, colours, min_pixels)
    return shot


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bench", required=True)
    parser.add_argument("--work")
    parser.add_argument("--keep-screenshot", help="copy the run report's screenshot here")
    arguments = parser.parse_args()
    if importlib.util.find_spec("PIL") is None:
        print("skipped: python3-pil is not installed", file=sys.stderr)
        return 77
    if not CHROMIUM:
        print("skipped: chromium is not installed", file=sys.stderr)
        return 77

    work = arguments.work or tempfile.mkdtemp(prefix="quorlind-browser-")
    os.makedirs(work, exist_ok=True)
    files = {name: os.path.join(work, name) for name in
             ("base.json", "new.json", "run.html", "saved.html", "compare.html", "hostile.json", "hostile.html",
              "compare.json")}
    short_run = ["--threads", "both", "--repeat", "2", "--warmup", "0", "--measure", "0.5", "--quiet"]
    bench([arguments.bench, *short_run, "--json", files["base.json"], "--html", files["run.html"]])
    bench([arguments.bench, *short_run, "--json", files["new.json"]])
    bench([arguments.bench, "report", files["base.json"], "--html", files["saved.html"]])
    with open(files["base.json"], encoding="utf-8") as file:
        base = json.load(file)
    hostile = copy.deepcopy(base)
    hostile["system"]["processor"] = HOSTILE
    hostile["system"]["host_name"] = "</title></style></script><svg onload=\"document.title='pwned'\">"
    hostile["notes"].append("<iframe src=\"https://198.51.100.7/\"></iframe><link rel=stylesheet href=//x/y.css>")
    hostile["runs"][0]["status"]["reason"] = "</script><script>fetch('http://198.51.100.7/')</script>"
    with open(files["hostile.json"], "w", encoding="utf-8") as file:
        json.dump(hostile, file)
    bench([arguments.bench, "report", files["hostile.json"], "--html", files["hostile.html"]])
    # The comparison's exit code depends on the machine's mood; any verdict will do here.
    compare = subprocess.run([arguments.bench, "compare", files["base.json"], files["new.json"],
                              "--html", files["compare.html"], "--json", files["compare.json"]],
                             capture_output=True, text=True, timeout=60)
    check(compare.returncode in (0, 3, 4, 5), f"compare exited {compare.returncode}: {compare.stderr}")
    if failures:
        return 1

    browser = Browser(work)
    kinds = {"single": [], "all": []}
    for run in base["runs"]:
        kinds[run["threads"]].append(f"run {run['index'] + 1}")

    def run_report_dom(name, expected):
        def checks(dom):
            check_chart(name, dom, "throughput-single", kinds["single"])
            check_chart(name, dom, "throughput-all", kinds["all"])
            check_chart(name, dom, "scaling", ["Single thread", "All threads"])
            check_embedded(name, dom, expected)
            bands = [g for g in dom.find_all("g") if g.attrs.get("class") == "band"]
            check(len(bands) == 2, f"{name}: {len(bands)} median bands, expected one per kind")
        return checks

    shot = run_page_checks(browser, work, "run", files["run.html"], run_report_dom("run", base),
                           [SERIES_BLUE, SERIES_VERMILLION])
    if arguments.keep_screenshot and os.path.exists(shot):
        shutil.copyfile(shot, arguments.keep_screenshot)
    run_page_checks(browser, work, "saved", files["saved.html"], run_report_dom("saved", base), [SERIES_BLUE])

    def hostile_checks(dom):
        name = "hostile"
        check(dom.find_all("title")[0].text() == "Quorlind result: " + HOSTILE, f"{name}: the title is not the text")
        cells = [td.text() for td in dom.find_all("td")]
        check(HOSTILE in cells, f"{name}: the processor is not shown as text")
        check(hostile["runs"][0]["status"]["reason"] in cells, f"{name}: the reason is not shown as text")
        for tag in ("img", "iframe", "link"):
            check(not dom.find_all(tag), f"{name}: a <{tag}> element came from the file")
        handlers = [(e.tag, k) for e in dom.find_all() for k in e.attrs if k.startswith("on")]
        check(not handlers, f"{name}: event handler attributes {handlers}")
        check_embedded(name, dom, hostile)

    # Its strings hold addresses as text, so only the elements and attributes are checked for them.
    run_page_checks(browser, work, "hostile", files["hostile.html"], hostile_checks, [SERIES_BLUE],
                    clean_data=False)

    with open(files["compare.json"], encoding="utf-8") as file:
        comparison = json.load(file)
    with open(files["new.json"], encoding="utf-8") as file:
        new = json.load(file)

    def comparison_checks(dom):
        name = "compare"
        for kind in ("single", "all"):
            check_chart(name, dom, f"runs-{kind}", ["base: " + os.path.basename(files["base.json"]),
                                                     "new: " + os.path.basename(files["new.json"])])
            check_chart(name, dom, f"ratio-{kind}", [os.path.basename(files["new.json"])])
        verdicts = [e for e in dom.find_all() if "verdict" in e.attrs.get("class", "").split()]
        check(len(verdicts) == 2, f"{name}: {len(verdicts)} verdicts, expected one per kind")
        check(dom.find_all("table"), f"{name}: no environment table")
        check_embedded(name, dom, {"comparison": comparison, "results": [base, new]})

    # Its runs are dots, not lines: more pixels of each colour than the legend's swatch (about 40)
    # show them drawn.
    run_page_checks(browser, work, "compare", files["compare.html"], comparison_checks,
                    [SERIES_BLUE, SERIES_VERMILLION], min_pixels=100)

    if failures:
        print(f"{len(failures)} check(s) failed; files in {work}", file=sys.stderr)
        return 1
    if not arguments.work:
        shutil.rmtree(work, ignore_errors=True)
    print(f"all browser checks passed ({browser.launches} Chromium launches)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
