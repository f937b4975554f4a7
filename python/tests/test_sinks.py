"""Rows of the document-vector sinks: FeatureDvecs, FeatureDvecsFile and
FeatureDvecsMem. Files are checked with a reader of their own, written here
with struct."""

import gc
import os
import struct
import weakref

import pytest

import _ovix
import ovix
from conftest import dvir, run_isolated

MAGIC = -3009


def f32(weight):
    """The weight as a file stores it: rounded to single precision."""
    return struct.unpack("<f", struct.pack("<f", weight))[0]


# (id, label, entries): ids with their top bit set, an empty vector, negative
# ids and labels, weights as floats of single precision.
DOCS = [
    (7, 1, [(3, 0.5), (2**63 + 5, 1.25), (2**64 - 1, 3.0)]),
    (-8, -1, []),
    (2**31 - 1, 0, [(9, 0.1), (3, 100000.0)]),
]


def read_binary(path):
    """The header and the records of a binary document-vector file without
    sub-files; fails on any byte that does not belong where it is."""
    with open(path, "rb") as f:
        data = f.read()
    magic, n_docs, n_sub_files, first_index = struct.unpack_from("<4i", data, 0)
    offset, records = 16, []
    for expected_index in range(n_docs):
        index, doc_id, label, n = struct.unpack_from("<4i", data, offset)
        assert index == expected_index
        offset += 16
        entries = [struct.unpack_from("<Qf", data, offset + 12 * i) for i in range(n)]
        offset += 12 * n
        records.append((doc_id, label, entries))
    assert offset == len(data), "bytes after the last record"
    return (magic, n_docs, n_sub_files, first_index), records


def read_mapped(path):
    """The records of a mapped text file: (id, [(number, weight text)])."""
    with open(path, "rb") as f:
        text = f.read().decode("ascii")
    assert text.endswith("\n")
    records = []
    for line in text[:-1].split("\n"):
        head, _, rest = line.partition("  ")
        entries = [(int(n), w) for n, w in (e.split(":") for e in rest.split(" "))] if rest else []
        records.append((int(head.rstrip()), entries))
    return records


def fill(sink, docs=DOCS):
    for doc_id, label, entries in docs:
        sink.addFeatures(doc_id, label, dvir(entries))


class TestFileLayouts:
    def test_binary_file_is_header_then_records_byte_for_byte(self, tmp_path):
        path = str(tmp_path / "out.vec")
        sink = ovix.FeatureDvecsFile(path)
        fill(sink)
        sink.close()
        expected = struct.pack("<4i", MAGIC, 3, 0, 0)
        for index, (doc_id, label, entries) in enumerate(DOCS):
            expected += struct.pack("<4i", index, doc_id, label, len(entries)) + dvir(entries)
        with open(path, "rb") as f:
            assert f.read() == expected

    def test_binary_round_trip_takes_whole_entries_of_any_buffer(self, tmp_path):
        path = str(tmp_path / "out.vec")
        entries = [(11, 0.25), (12, 2.0)]
        # A partial entry after the last whole one, and a view that starts at
        # an odd address.
        padded = dvir(entries) + b"\x01\x02\x03"
        odd = memoryview(b"\xff" + dvir(entries))[1:]
        sink = ovix.FeatureDvecsFile(path, ovix.FEATURE_DVECS_FILE_FORMAT_BINARY)
        fill(sink)
        sink.addFeatures(4, 2, bytearray(padded))
        sink.addFeatures(5, 3, odd)
        sink.close()
        header, records = read_binary(path)
        assert header == (MAGIC, 5, 0, 0)
        expected = [(d, l, [(i, f32(w)) for i, w in e]) for d, l, e in DOCS]
        expected += [(4, 2, entries), (5, 3, entries)]
        assert records == expected

    def test_mapped_file_numbers_ids_in_first_seen_order(self, tmp_path):
        path = str(tmp_path / "out.sgt")
        docs = [
            (1, 9, [(50, 1.0), (7, 0.5)]),
            (2, 9, []),
            (3, 9, [(7, 2.0), (2**64 - 1, 0.125), (50, 3.0)]),
        ]
        sink = ovix.FeatureDvecsFile(path, ovix.FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED)
        fill(sink, docs)
        sink.close()
        with open(path, "rb") as f:
            # No label, no header; each line's entries in number order.
            assert f.read() == b"1  1:1.000000 2:0.500000\n2 \n3  1:3.000000 2:2.000000 3:0.125000\n"

    def test_mapped_round_trip_gives_back_every_id_and_weight(self, tmp_path):
        path = str(tmp_path / "out.sgt")
        sink = ovix.FeatureDvecsFile(path, 1)
        fill(sink)
        sink.close()
        numbers = {}
        for _, _, entries in DOCS:
            for fid, _ in entries:
                numbers.setdefault(fid, len(numbers) + 1)
        ids = {number: fid for fid, number in numbers.items()}
        records = read_mapped(path)
        assert [r[0] for r in records] == [d[0] for d in DOCS]
        for (_, _, entries), (_, written) in zip(DOCS, records):
            assert [n for n, _ in written] == sorted(n for n, _ in written)
            assert sorted((ids[n], w) for n, w in written) == sorted((fid, "%f" % f32(w)) for fid, w in entries)


class TestFileSink:
    def test_constructor_forms(self, tmp_path):
        path = str(tmp_path / "out.vec")
        this = _ovix.new_FeatureDvecsFile(path)
        assert type(this).__name__ == "SwigPyObject" and this.own()
        _ovix.delete_FeatureDvecsFile(this)
        with pytest.raises(RuntimeError, match=r"^unknown format$"):
            _ovix.new_FeatureDvecsFile(path, 5)
        with pytest.raises(RuntimeError, match=r"^file creation error$"):
            ovix.FeatureDvecsFile(str(tmp_path / "missing" / "out.vec"))
        assert not (tmp_path / "missing").exists()
        for args in [(), (5,), (path, "1"), (path, 1.5), (path, 0, 0)]:
            with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_FeatureDvecsFile'$"):
                _ovix.new_FeatureDvecsFile(*args)

    def test_get_filename_returns_the_path_as_given(self, tmp_path):
        path = str(tmp_path / "./out.vec")
        assert ovix.FeatureDvecsFile(path).getFilename() == path
        raw = os.fsencode(tmp_path) + b"/caf\xe9.vec"
        sink = ovix.FeatureDvecsFile(raw)
        assert os.fsencode(sink.getFilename()) == raw
        assert os.path.exists(raw)
        with pytest.raises(TypeError, match=r"argument 1 of type 'FeatureDvecsFile const \*'"):
            _ovix.FeatureDvecsFile_getFilename(ovix.FeatureDvecsMem(1))

    def test_a_closed_file_takes_no_record_and_no_second_close_until_reset(self, tmp_path):
        path = str(tmp_path / "out.vec")
        sink = ovix.FeatureDvecsFile(path)
        fill(sink)
        sink.close()
        with open(path, "rb") as f:
            closed = f.read()
        with pytest.raises(RuntimeError, match=r"^file is closed$"):
            sink.addFeatures(1, 1, dvir([(1, 1.0)]))
        with pytest.raises(RuntimeError, match=r"^file is closed$"):
            sink.close()
        with open(path, "rb") as f:
            assert f.read() == closed
        sink.reset()
        sink.addFeatures(1, 1, dvir([(1, 1.0)]))
        sink.close()
        assert read_binary(path)[1] == [(1, 1, [(1, 1.0)])]

    def test_reset_leaves_a_header_with_no_documents(self, tmp_path):
        path = str(tmp_path / "out.vec")
        sink = ovix.FeatureDvecsFile(path)
        fill(sink, DOCS[:2])
        sink.reset()
        sink.close()
        assert read_binary(path) == ((MAGIC, 0, 0, 0), [])

    def test_what_is_no_buffer_changes_nothing(self, tmp_path):
        path = str(tmp_path / "out.vec")
        sink = ovix.FeatureDvecsFile(path)
        for bad in (None, 5, "text", memoryview(b"abcdefghijkl" * 2)[::2]):
            with pytest.raises(RuntimeError, match=r"^Need a buffer$"):
                sink.addFeatures(1, 1, bad)
        fill(sink)
        sink.close()
        assert [r[0] for r in read_binary(path)[1]] == [d[0] for d in DOCS]


class TestMemSink:
    def test_takes_exactly_n_vectors_before_handing_out_its_table(self):
        mem = ovix.FeatureDvecsMem(2)
        mem.addFeatures(1, 0, dvir([(1, 1.0)]))
        with pytest.raises(RuntimeError, match=r"^Need a buffer$"):
            mem.addFeatures(2, 0, "not a buffer")
        with pytest.raises(RuntimeError, match=r"^dvec not complete$"):
            mem.getDvecs()
        mem.addFeatures(2, 0, b"")
        table = mem.getDvecs()
        assert type(table).__name__ == "SwigPyObject"
        assert "'_dVec *'" in repr(table) and table.own()
        with pytest.raises(RuntimeError, match=r"^Too many elements$"):
            mem.addFeatures(3, 0, b"")
        assert "'_dVec *'" in repr(_ovix.FeatureDvecsMem_getDvecs(mem))

    def test_sizes(self):
        assert "'_dVec *'" in repr(ovix.FeatureDvecsMem(0).getDvecs())
        for n in (-1, -(2**31)):
            with pytest.raises(RuntimeError, match=r"^Negative number of elements$"):
                ovix.FeatureDvecsMem(n)
        # The second argument has no effect.
        mem = _ovix.new_FeatureDvecsMem(1, 5)
        _ovix.FeatureDvecsMem_addFeatures(mem, 1, 0, b"")
        with pytest.raises(RuntimeError, match=r"^Too many elements$"):
            _ovix.FeatureDvecsMem_addFeatures(mem, 2, 0, b"")
        for args in [(), ("1",), (1, 2, 3), (1, 2.5), (2**31,)]:
            with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_FeatureDvecsMem'$"):
                _ovix.new_FeatureDvecsMem(*args)

    def test_a_held_bytearray_cannot_be_resized_until_reset(self):
        mem = ovix.FeatureDvecsMem(2)
        held = bytearray(dvir([(1, 1.0)]))
        mem.addFeatures(1, 0, held)
        mem.addFeatures(2, 0, memoryview(held))
        with pytest.raises(BufferError):
            held.extend(b"x" * 100)
        with pytest.raises(BufferError):
            held.clear()
        held[0] = 2  # written in place: the rows still point at these bytes
        mem.reset()
        held.extend(b"x" * 100)

    def test_a_held_buffer_lives_until_reset_or_destruction(self):
        class Buffer(bytearray):
            pass

        def add_and_forget(mem):
            buffer = Buffer(12)
            mem.addFeatures(1, 0, buffer)
            return weakref.ref(buffer)

        mem = ovix.FeatureDvecsMem(1)
        buffer = add_and_forget(mem)
        gc.collect()
        assert buffer() is not None
        mem.reset()
        gc.collect()
        assert buffer() is None

        buffer = add_and_forget(mem)
        gc.collect()
        assert buffer() is not None
        del mem
        gc.collect()
        assert buffer() is None


class TestSharedRows:
    def test_feature_dvecs_rows_reach_the_derived_sinks(self, tmp_path):
        path = str(tmp_path / "out.vec")
        sink = ovix.FeatureDvecsFile(path)
        _ovix.FeatureDvecs_addFeatures(sink, 7, 1, dvir([(1, 1.0)]))
        _ovix.FeatureDvecs_reset(sink)
        _ovix.FeatureDvecs_addFeatures(sink, 8, 2, dvir([(2, 2.0)]))
        _ovix.FeatureDvecs_close(sink)
        assert read_binary(path)[1] == [(8, 2, [(2, 2.0)])]
        with pytest.raises(RuntimeError, match=r"^file is closed$"):
            _ovix.FeatureDvecs_close(sink)

        mem = ovix.FeatureDvecsMem(1)
        _ovix.FeatureDvecs_addFeatures(mem, 7, 1, dvir([(1, 1.0)]))
        with pytest.raises(RuntimeError, match=r"^Too many elements$"):
            _ovix.FeatureDvecsMem_addFeatures(mem, 7, 1, dvir([(1, 1.0)]))
        _ovix.FeatureDvecs_close(mem)
        _ovix.FeatureDvecs_reset(mem)
        with pytest.raises(RuntimeError, match=r"^dvec not complete$"):
            mem.getDvecs()

    def test_rows_refuse_other_objects(self):
        with pytest.raises(TypeError, match=r"^in method 'FeatureDvecs_reset', argument 1 of type 'FeatureDvecs \*'$"):
            _ovix.FeatureDvecs_reset(ovix.Fid("x"))
        with pytest.raises(TypeError, match=r"^in method 'FeatureDvecsMem_reset', argument 1 of type 'FeatureDvecsMem \*'$"):
            _ovix.FeatureDvecsMem_reset(ovix.FeatureDvecsFile(os.devnull))
        assert not hasattr(_ovix, "new_FeatureDvecs")

    def test_deleting_through_the_base_row_destroys_the_derived_sink(self, tmp_path):
        path = str(tmp_path / "out.vec")
        sink = ovix.FeatureDvecsFile(path)
        fill(sink)
        _ovix.delete_FeatureDvecs(sink)  # the derived destructor closes the file
        assert read_binary(path)[0] == (MAGIC, 3, 0, 0)
        with pytest.raises(TypeError):
            sink.addFeatures(1, 1, b"")


class TestRowTable:
    def test_the_table_keeps_its_sink_alive(self):
        mem = ovix.FeatureDvecsMem(1)
        held = bytearray(12)
        mem.addFeatures(1, 0, held)
        sink = weakref.ref(mem)
        table = mem.getDvecs()
        del mem
        gc.collect()
        assert sink() is not None
        with pytest.raises(BufferError):
            held.append(0)
        del table
        gc.collect()
        assert sink() is None
        held.append(0)

    def test_a_sink_lent_to_a_table_cannot_be_deleted(self):
        mem = ovix.FeatureDvecsMem(0)
        tables = [mem.getDvecs(), mem.getDvecs()]
        for row, name in (("delete_FeatureDvecsMem", "FeatureDvecsMem"), ("delete_FeatureDvecs", "FeatureDvecs")):
            with pytest.raises(RuntimeError, match=rf"^{name} is still in use by another object$"):
                getattr(_ovix, row)(mem)
        tables.pop()
        with pytest.raises(RuntimeError, match=r"still in use"):
            _ovix.delete_FeatureDvecsMem(mem)
        tables.pop()
        _ovix.delete_FeatureDvecsMem(mem)

    def test_reset_releases_the_buffers_of_a_table_handed_out(self):
        mem = ovix.FeatureDvecsMem(1)
        held = bytearray(12)
        mem.addFeatures(1, 0, held)
        table = mem.getDvecs()
        mem.reset()
        held.append(0)
        assert table.own()

    def test_tables_are_freed_without_a_leak_warning(self):
        script = "import ovix\nm = ovix.FeatureDvecsMem(0)\nt = m.getDvecs()\ndel m, t\n"
        done = run_isolated(script)
        assert done.returncode == 0, done.stderr
        # SWIG's runtime reports a pointer object it cannot free on stdout.
        assert "leak" not in done.stdout + done.stderr
