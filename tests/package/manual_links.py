#!/usr/bin/python3
"""Every link and picture of the manual resolves: local files exist inside the
manual's folder and every #anchor names an element of its page."""
import html.parser
import pathlib
import sys
import urllib.parse


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.links = set(), []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.add(a["id"])
        for key in ("href", "src"):
            if a.get(key):
                self.links.append(a[key])


def main(folder):
    root = pathlib.Path(folder).resolve()
    pages, problems = {}, []
    for path in sorted(root.rglob("*.html")):
        page = Page()
        page.feed(path.read_text(encoding="utf-8"))
        pages[path] = page
    if not pages:
        problems.append(f"no page in {root}")
    for path, page in pages.items():
        for link in page.links:
            url = urllib.parse.urlsplit(link)
            if url.scheme or url.netloc:
                problems.append(f"{path.name}: {link} leaves the manual")
                continue
            target = (path.parent / urllib.parse.unquote(url.path)).resolve() if url.path else path
            if root not in target.parents and target != root:
                problems.append(f"{path.name}: {link} points outside the manual")
            elif not target.is_file():
                problems.append(f"{path.name}: {link} does not exist")
            elif url.fragment and url.fragment not in pages.get(target, Page()).ids:
                problems.append(f"{path.name}: {link} names no element")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
