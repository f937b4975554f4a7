"""Rows of the HTML cleaner: Tidy."""

import gc
import io
import sys
import time
import weakref
from collections import OrderedDict
from html.parser import HTMLParser

import pytest

import _ovix
import ovix
from conftest import LockTicker, run_isolated

VOID_ELEMENTS = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
                 "track", "wbr"}

MESSY_PAGE = """<title>Messy & broken</title>
<p>First <b>bold <i>both</b> italic</i>
<div><p>unclosed paragraph<ul><li>one<li>two</ul></span>
<a href=plain.html>link<img src=x.png alt=pic>
<table><tr><td>cell<td>next</table>
<p>caf\u00e9 &amp; cr\u00e8me
"""


class StrictTree(HTMLParser):
    """Checks with Python's own parser that every element that is opened is
    closed, in order, and collects the text."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open = []
        self.problems = []
        self.text = []
        self.tags = []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag not in VOID_ELEMENTS:
            self.open.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.tags.append(tag)

    def handle_endtag(self, tag):
        if tag in VOID_ELEMENTS:
            return
        if not self.open or self.open[-1] != tag:
            self.problems.append(f"</{tag}> closes {self.open[-1:]}")
        else:
            self.open.pop()

    def handle_data(self, data):
        self.text.append(data)


def parse(page: bytes) -> StrictTree:
    tree = StrictTree()
    tree.feed(page.decode("utf-8"))
    tree.close()
    return tree


def cleaned(page, options=None):
    out = io.BytesIO()
    count = ovix.Tidy({} if options is None else options, out).cleanup(page)
    assert count == len(out.getvalue())
    return out.getvalue()


class TestCleanup:
    def test_output_is_well_formed_for_an_independent_parser(self):
        page = cleaned(MESSY_PAGE)
        tree = parse(page)
        assert tree.problems == []
        assert tree.open == []
        assert tree.tags[0] == "html" and {"head", "title", "body", "table", "ul"} <= set(tree.tags)
        text = " ".join("".join(tree.text).split())
        for words in ("Messy & broken", "bold both italic", "unclosed paragraph", "café & crème"):
            assert words in text

    def test_str_and_bytes_pages_give_the_same_output(self):
        assert cleaned(MESSY_PAGE) == cleaned(MESSY_PAGE.encode("utf-8"))

    def test_the_page_ends_at_its_first_nul(self):
        assert cleaned("<p>kept\0<p>dropped") == cleaned("<p>kept")

    def test_options_change_the_output(self):
        assert b"<html" in cleaned("<p>x")
        body = cleaned("<p>x<b>y", {"show-body-only": "yes"})
        assert body.strip() == b"<p>x<b>y</b></p>"
        assert cleaned("<p>x<b>y", {b"show-body-only": b"yes"}) == body
        assert cleaned("<ul><li>a</ul>", {"indent": "yes"}) != cleaned("<ul><li>a</ul>", {"indent": "no"})
        assert cleaned("<p>x", OrderedDict([("markup", "no"), ("show-body-only", "yes")])) == b""

    def test_a_dict_subclass_is_a_dictionary(self):
        class Options(dict):
            pass
        assert cleaned("<p>x", Options({"show-body-only": "yes"})).strip() == b"<p>x</p>"

    def test_a_shorter_second_page_leaves_the_tail_of_the_first(self, tmp_path):
        for out in (io.BytesIO(), open(tmp_path / "page.html", "w+b")):
            with out:
                tidy = ovix.Tidy({}, out)
                long_count = tidy.cleanup("<p>" + "long text " * 200)
                out.flush()
                first = out.getvalue() if isinstance(out, io.BytesIO) else (tmp_path / "page.html").read_bytes()
                assert long_count == len(first)
                out.seek(0, io.SEEK_END)  # cleanup starts from 0 wherever the file stands
                short_count = tidy.cleanup("<p>short")
                out.flush()
                second = out.getvalue() if isinstance(out, io.BytesIO) else (tmp_path / "page.html").read_bytes()
                assert short_count < long_count
                assert len(second) == long_count
                assert second[short_count:] == first[short_count:]
                assert second[:short_count] == cleaned("<p>short")

    def test_other_threads_run_while_a_large_page_is_cleaned(self):
        page = "<table>" + "".join(f"<tr><td>cell {i}<b>b<i>i</b>x</i><td>more" for i in range(20000)) + "</table>"
        tidy = ovix.Tidy({}, io.BytesIO())
        with LockTicker() as ticker:
            started = time.perf_counter()
            tidy.cleanup(page)
            ended = time.perf_counter()
        seconds = ended - started
        during = len(ticker.between(started, ended))
        assert seconds > 0.1, "the page was too small to tell"
        # Hundreds of ticks when the lock is released; a handful when it is held.
        assert during > 50, f"{during} ticks in {seconds:.2f} s"


class TestErrors:
    @pytest.mark.parametrize("options", [[], None, "indent", [("indent", "yes")], 5])
    def test_options_that_are_no_dictionary(self, options):
        with pytest.raises(RuntimeError, match=r"^argument must be a dictionary of options key/values$"):
            ovix.Tidy(options, io.BytesIO())

    @pytest.mark.parametrize("options", [{1: "yes"}, {"indent": 1}, {"indent": None}, {("indent",): "yes"}])
    def test_keys_and_values_that_are_no_strings(self, options):
        with pytest.raises(RuntimeError, match=r"^key and value must be strings$"):
            ovix.Tidy(options, io.BytesIO())

    @pytest.mark.parametrize("options", [{"no-such-option": "yes"}, {"indent": "sideways"}, {"wrap": "wide"}])
    def test_an_unknown_key_or_value(self, options):
        with pytest.raises(RuntimeError, match=r"^key/value not recognized$"):
            ovix.Tidy(options, io.BytesIO())

    def test_entries_are_checked_in_order(self):
        with pytest.raises(RuntimeError, match=r"^key/value not recognized$"):
            ovix.Tidy({"no-such-option": "x", 1: "y"}, io.BytesIO())
        with pytest.raises(RuntimeError, match=r"^key and value must be strings$"):
            ovix.Tidy({1: "y", "no-such-option": "x"}, io.BytesIO())

    def test_a_refused_construction_keeps_no_reference_to_the_file(self):
        out = io.BytesIO()
        before = sys.getrefcount(out)
        for options in ([], {1: "y"}, {"indent": "sideways"}):
            with pytest.raises(RuntimeError):
                _ovix.new_Tidy(options, out)
        assert sys.getrefcount(out) == before

    def test_the_files_own_exceptions_propagate(self):
        out = io.BytesIO()
        tidy = ovix.Tidy({}, out)
        out.close()
        with pytest.raises(ValueError):
            tidy.cleanup("<p>x")
        with pytest.raises(AttributeError):
            ovix.Tidy({}, None).cleanup("<p>x")

        class Refusing(io.BytesIO):
            def write(self, data):
                raise OSError("disk full")
        refusing = Refusing()
        tidy = ovix.Tidy({}, refusing)
        with pytest.raises(OSError, match="disk full"):
            tidy.cleanup("<p>x")
        assert refusing.getvalue() == b""

    def test_a_page_that_is_no_text(self):
        tidy = ovix.Tidy({}, io.BytesIO())
        with pytest.raises(TypeError, match=r"^in method 'Tidy_cleanup', argument 2 of type 'char const \*'$"):
            tidy.cleanup(None)
        with pytest.raises(TypeError, match=r"^in method 'Tidy_cleanup', argument 2 of type 'char const \*'$"):
            tidy.cleanup(5)
        assert tidy.cleanup("<p>still works") > 0


class TestLifetime:
    def test_the_cleaner_keeps_its_file_alive_until_deleted(self):
        class File(io.BytesIO):
            pass
        out = File()
        gone = weakref.ref(out)
        tidy = ovix.Tidy({}, out)
        del out
        gc.collect()
        assert gone() is not None
        assert tidy.cleanup("<p>x") == len(gone().getvalue())
        _ovix.delete_Tidy(tidy)
        gc.collect()
        assert gone() is None

    def test_a_cleanup_cannot_delete_its_own_cleaner(self):
        class Deleting(io.BytesIO):
            def write(self, data):
                with pytest.raises(RuntimeError, match=r"^Tidy is in use by another call$"):
                    _ovix.delete_Tidy(tidy)
                return super().write(data)
        out = Deleting()
        tidy = ovix.Tidy({}, out)
        assert tidy.cleanup("<p>x") == len(out.getvalue())


class TestHostilePages:
    def test_deep_pages_are_refused_and_real_ones_cleaned_on_any_stack(self):
        # In a child interpreter, so that a crash fails the test, with an
        # address-space limit unless AddressSanitizer's shadow needs it all.
        result = run_isolated("""
            import io, os, resource, threading, ovix
            if "asan" not in os.environ.get("LD_PRELOAD", ""):
                resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
            # Nested a million deep, or a few thousand tags that the library
            # nests a million deep as it opens the inline element again.
            for page in ("<div>" * 10**6, "<ul><li>" * 10**6, "<font><map><map>x" * 2000):
                try:
                    ovix.Tidy({}, io.BytesIO()).cleanup(page)
                    raise SystemExit("a deep page was cleaned")
                except RuntimeError as e:
                    assert str(e) == "page nested too deeply to clean", e
            # A caller with a small stack: the parse does not run on it.
            threading.stack_size(128 << 10)
            out = io.BytesIO()
            worker = threading.Thread(target=ovix.Tidy({}, out).cleanup, args=("<div>x" * 2000,))
            worker.start()
            worker.join()
            print(out.getvalue().count(b"<div>"))
        """)
        assert result.returncode == 0, result.stderr
        assert result.stdout == "2000\n"
