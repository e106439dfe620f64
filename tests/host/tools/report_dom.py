"""A small element tree from the HTML that Chromium's --dump-dom prints.

The dump is Chromium's own serialisation, so every element is closed
properly; html.parser is enough, and nothing outside the standard library
is needed.
"""
from html.parser import HTMLParser

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}


class Element:
    def __init__(self, tag, attrs, parent=None):
        self.tag = tag
        self.attrs = {name: (value if value is not None else "") for name, value in attrs}
        self.parent = parent
        self.children = []  # Elements and strings, in order

    def find_all(self, tag=None):
        found = []
        for child in self.children:
            if isinstance(child, Element):
                if tag is None or child.tag == tag:
                    found.append(child)
                found.extend(child.find_all(tag))
        return found

    def text(self):
        return "".join(child if isinstance(child, str) else child.text() for child in self.children)


class _Builder(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Element("#document", [])
        self.current = self.root

    def handle_starttag(self, tag, attrs):
        element = Element(tag, attrs, self.current)
        self.current.children.append(element)
        if tag not in VOID:
            self.current = element

    def handle_startendtag(self, tag, attrs):
        self.current.children.append(Element(tag, attrs, self.current))

    def handle_endtag(self, tag):
        node = self.current
        while node is not self.root and node.tag != tag:
            node = node.parent
        if node is not self.root:
            self.current = node.parent

    def handle_data(self, data):
        self.current.children.append(data)


def parse_dom(text):
    builder = _Builder()
    builder.feed(text)
    builder.close()
    return builder.root
