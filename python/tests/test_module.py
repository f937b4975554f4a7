"""What the module registers at import: rows, cvar, constants, and the
conversion, dispatch and error rules every row shares."""

import pytest

import _ovix
import ovix
from conftest import run_isolated

# SWIG's own glue, taken as generated: the iterator class and the
# list-of-strings container.
GLUE_PREFIXES = ("SwigPyIterator_", "delete_SwigPyIterator", "stdstrlist_", "new_stdstrlist", "delete_stdstrlist")

FAMILY_ROWS = {
    "PorterStemmer": ["new_PorterStemmer", "delete_PorterStemmer", "PorterStemmer_stem", "PorterStemmer_swigregister"],
    "Fid": ["Fid_m_fid_set", "Fid_m_fid_get", "new_Fid", "delete_Fid", "Fid_toPyString", "Fid_swigregister"],
    "FidHash": ["FidHash___call__", "new_FidHash", "delete_FidHash", "FidHash_swigregister"],
    "Fids": ["new_Fids", "delete_Fids", "Fids_getFid", "Fids_getFidNative", "Fids_getNewTokens", "Fids_swigregister"],
    "FidsDocCount": [
        "new_FidsDocCount", "delete_FidsDocCount", "FidsDocCount_clearFidCounts", "FidsDocCount_addFidCounts",
        "FidsDocCount_getMaxDocCount", "FidsDocCount_getMinDocCount", "FidsDocCount_getDocCount",
        "FidsDocCount_incrDocCount", "FidsDocCount_decrDocCount", "FidsDocCount_getFirst", "FidsDocCount_getNext",
        "FidsDocCount_getNextFinish", "FidsDocCount_repr", "FidsDocCount_swigregister",
    ],
    "FeatureDict": [
        "new_FeatureDict", "delete_FeatureDict", "FeatureDict_applyTokenString", "FeatureDict_mergeFeatureDict",
        "FeatureDict_mergeDvir", "FeatureDict_getList", "FeatureDict_getFeatureCount",
        "FeatureDict_getUniqueFeatureCount", "FeatureDict_getInLanguageRatio", "FeatureDict_getDocCountHits",
        "FeatureDict_scale", "FeatureDict_begin", "FeatureDict_end", "FeatureDict_swigregister",
    ],
    "dvir": [
        "dvirFromFidsAndWeights", "dvirFromFeatureDict", "dvir2FidsAndWeights", "dvir2String", "dvirSize", "dvirSize2BufLen",
        "dvirFixTrailingWhitespace", "dvirChangeEndian", "dvirVerify", "dvirDocCountHits", "dvirInLanguageRatio",
        "dvirIncrDocCounts", "dvirDecrDocCounts", "dvirListCentroid", "dvirListDotProduct",
        "dvirListDispersionAndStddev", "dvirDotProductAsDvir", "dvir2Weights",
    ],
    "FeatureDvecs": ["delete_FeatureDvecs", "FeatureDvecs_reset", "FeatureDvecs_addFeatures", "FeatureDvecs_close",
                     "FeatureDvecs_swigregister"],
    "FeatureDvecsFile": [
        "new_FeatureDvecsFile", "delete_FeatureDvecsFile", "FeatureDvecsFile_reset", "FeatureDvecsFile_addFeatures",
        "FeatureDvecsFile_close", "FeatureDvecsFile_getFilename", "FeatureDvecsFile_swigregister",
    ],
    "FeatureDvecsMem": [
        "new_FeatureDvecsMem", "delete_FeatureDvecsMem", "FeatureDvecsMem_reset", "FeatureDvecsMem_addFeatures",
        "FeatureDvecsMem_close", "FeatureDvecsMem_getDvecs", "FeatureDvecsMem_swigregister",
    ],
    "Tidy": ["new_Tidy", "delete_Tidy", "Tidy_cleanup", "Tidy_swigregister"],
    "HierClus": ["new_HierClus", "delete_HierClus", "HierClus_getDocs", "HierClus_getClusters",
                 "HierClus_getWithinSimilarityMap", "HierClus_swigregister"],
    "ClassifierWrapper": [
        "new_ClassifierWrapper", "delete_ClassifierWrapper", "ClassifierWrapper_buildKnnGraph",
        "ClassifierWrapper_setGraphFile", "ClassifierWrapper_writeGraphFile", "ClassifierWrapper_readGraphFile",
        "ClassifierWrapper_decomposeLaplacian", "ClassifierWrapper_setDecompositionFile",
        "ClassifierWrapper_writeDecompositionFile", "ClassifierWrapper_readDecompositionFile",
        "ClassifierWrapper_predict", "ClassifierWrapper_computeClusters", "ClassifierWrapper_swigregister",
    ],
    "Pyth2Platform": [
        "new_Pyth2Platform", "delete_Pyth2Platform", "Pyth2Platform_GetParentThreadId", "Pyth2Platform_SendStatusMsg",
        "Pyth2Platform_SendThreadMsg", "Pyth2Platform_SendSelfQuitMsg", "Pyth2Platform_GetACmd",
        "Pyth2Platform_GetLastInputTime", "Pyth2Platform_GetPowerStatus", "Pyth2Platform_GetMemStats",
        "Pyth2Platform_GetMemoryUsage", "Pyth2Platform_GetCurThreadId", "Pyth2Platform_GetCurThreadPriority",
        "Pyth2Platform_SetCurThreadPriority", "Pyth2Platform_GetAppDataDir", "Pyth2Platform_ThreadThrottleRegister",
        "Pyth2Platform_ThreadThrottleDeregister", "Pyth2Platform_ThreadThrottleCpuPerc",
        "Pyth2Platform_ThreadThrottleStart", "Pyth2Platform_ThreadThrottleStop", "Pyth2Platform_GetVersionStr",
        "Pyth2Platform_swigregister",
    ],
    "CPyth2Win": [
        "new_CPyth2Win", "delete_CPyth2Win", "CPyth2Win_GetParentThreadId", "CPyth2Win_SendStatusMsg",
        "CPyth2Win_SendThreadMsg", "CPyth2Win_SendSelfQuitMsg", "CPyth2Win_GetACmd", "CPyth2Win_GetLastInputTime",
        "CPyth2Win_GetPowerStatus", "CPyth2Win_GetMemoryUsage", "CPyth2Win_GetCurThreadId",
        "CPyth2Win_GetCurThreadPriority", "CPyth2Win_SetCurThreadPriority", "CPyth2Win_GetAppDataDir",
        "CPyth2Win_ThreadThrottleRegister", "CPyth2Win_ThreadThrottleDeregister", "CPyth2Win_ThreadThrottleStart",
        "CPyth2Win_ThreadThrottleStop", "CPyth2Win_GetIEHistory", "CPyth2Win_swigregister",
    ],
    "CSkype2PythMsg": [
        "new_CSkype2PythMsg", "delete_CSkype2PythMsg", "CSkype2PythMsg_GetMsg", "CSkype2PythMsg_GetFrom",
        "CSkype2PythMsg_GetTo", "CSkype2PythMsg_GetMsgCode", "CSkype2PythMsg_swigregister",
    ],
    "CPyth2Skype": [
        "new_CPyth2Skype", "delete_CPyth2Skype", "CPyth2Skype_IsConstructed", "CPyth2Skype_IsConnected",
        "CPyth2Skype_HaveContactIds", "CPyth2Skype_HaveContactDetails", "CPyth2Skype_GetLastErr",
        "CPyth2Skype_GetACmd", "CPyth2Skype_GetThreadId", "CPyth2Skype_GetChatCode", "CPyth2Skype_SetThreadId",
        "CPyth2Skype_IsMsgSent", "CPyth2Skype_ResetMsgSent", "CPyth2Skype_Get1stMsg", "CPyth2Skype_GetLogin",
        "CPyth2Skype_GetIMInfo", "CPyth2Skype_GetMemoryUsage", "CPyth2Skype_GetSignedInFullName",
        "CPyth2Skype_Reset", "CPyth2Skype_Connect", "CPyth2Skype_Disconnect", "CPyth2Skype_EnumUsers",
        "CPyth2Skype_EnumGroups", "CPyth2Skype_PostNoOp", "CPyth2Skype_SetPingTmr", "CPyth2Skype_GetAdapter",
        "CPyth2Skype_SendChatMsg", "CPyth2Skype_SendAppMsg", "CPyth2Skype_swigregister",
    ],
}
# Families of free functions: no class, so no CLASS_swiginit row.
FREE_FUNCTION_FAMILIES = {"dvir"}
# Abstract classes: no constructor, so no CLASS_swiginit row either.
ABSTRACT_CLASSES = {"FeatureDvecs"}

CONSTANTS = [
    ("FidHash_bucket_size", 4), ("FidHash_min_buckets", 8),
    ("DVIR_ENDIAN_LITTLE", 0), ("DVIR_ENDIAN_BIG", 1), ("DVIR_ENDIAN_NATIVE", 2),
    ("FIXED_IDF_ALG_DROP", 0), ("FIXED_IDF_ALG_FLATLINE", 1), ("FIXED_IDF_ALG_IGNORE", 2),
    ("FEATURE_DVECS_FILE_FORMAT_BINARY", 0), ("FEATURE_DVECS_FILE_FORMAT_SGT_MAPPED", 1),
    ("CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT", 0), ("CLASSIFIER_CLUSTERING_ALG_GRAPH", 1),
    ("CLASSIFIER_CLUSTERING_ALG_KMEANS", 2),
    ("PYTH_2_PLATFORM_POWER_STATUS_ERR", 0), ("PYTH_2_PLATFORM_POWER_STATUS_LINE", 1),
    ("PYTH_2_PLATFORM_POWER_STATUS_BATTERY", 2), ("PYTH_2_PLATFORM_POWER_STATUS_BATTERY_LOW", 3),
    ("PYTH_2_PLATFORM_THREAD_PRIORITY_HIGH", 0), ("PYTH_2_PLATFORM_THREAD_PRIORITY_NORMAL", 1),
    ("PYTH_2_PLATFORM_THREAD_PRIORITY_LOW", 2), ("PYTH_2_PLATFORM_THREAD_PRIORITY_VERY_LOW", 3),
    ("Pyth2Platform_NOMSG", 0), ("Pyth2Platform_QUITMSG", 1), ("Pyth2Platform_PAUSEMSG", 2),
    ("Pyth2Platform_RESUMEMSG", 3), ("Pyth2Platform_IMMSGINQUEUE", 4),
    ("CPyth2Skype_NOERR", 0), ("CPyth2Skype_ERR_NODLL", 1), ("CPyth2Skype_ERR_NOADAPTER", 2),
    ("CPyth2Skype_ERR_NOMEM", 3), ("CPyth2Skype_ERR_NOCONNECT", 4), ("CPyth2Skype_ERR_NODISCONNECT", 5),
    ("CPyth2Skype_ERR_NOENUMGROUPS", 6), ("CPyth2Skype_ERR_NOENUMUSERS", 7),
    ("CPyth2Skype_ERR_SKYPETIMEOUT_ENABLED", 8),
    ("CPyth2Skype_NOCHAT", 0), ("CPyth2Skype_CHATSEND", 1), ("CPyth2Skype_CHATRECV", 2), ("CPyth2Skype_CHATALL", 3),
    ("CPyth2Skype_NOMSG", 0), ("CPyth2Skype_QUITMSG", 1), ("CPyth2Skype_IMMSGINQUEUE", 2),
]


def module_names():
    return [name for name in vars(_ovix) if not name.startswith("__")]


def rows():
    return [name for name in module_names() if callable(getattr(_ovix, name))]


def test_rows_are_the_families_in_table_order_plus_swig_additions():
    family_rows = [r for r in rows() if not r.startswith(GLUE_PREFIXES) and not r.endswith("_swiginit")]
    expected = [row for family in FAMILY_ROWS.values() for row in family]
    assert family_rows == expected


def test_glue_rows_come_first_and_every_class_has_its_swiginit():
    all_rows = rows()
    glue = [r for r in all_rows if r.startswith(GLUE_PREFIXES)]
    assert all_rows[: len(glue)] == glue
    assert "SwigPyIterator_swigregister" in glue and "stdstrlist_swigregister" in glue
    swiginits = {r[: -len("_swiginit")] for r in all_rows if r.endswith("_swiginit")}
    assert swiginits == {"stdstrlist", *(set(FAMILY_ROWS) - FREE_FUNCTION_FAMILIES - ABSTRACT_CLASSES)}


def test_constants_have_their_names_values_and_order():
    names = module_names()
    stored = [(n, getattr(_ovix, n)) for n in names[names.index("cvar") + 1:]]
    assert stored == CONSTANTS
    assert all(type(value) is int for _, value in stored)
    assert _ovix.CPyth2Skype_ERR_SKYPETIMEOUT_ENABLED == 8


def test_cvar_holds_a_read_only_fid_len():
    assert type(_ovix.cvar).__name__ == "swigvarlink"
    assert _ovix.cvar.FID_LEN == 8
    with pytest.raises(AttributeError, match=r"^Variable FID_LEN is read-only\.$"):
        _ovix.cvar.FID_LEN = 9
    assert _ovix.cvar.FID_LEN == 8


class TestConversions:
    def test_int_takes_ints_and_bools_within_32_bits(self):
        dc = ovix.FidsDocCount(ovix.Fids(False))
        for i in range(3):
            dc.incrDocCount(str(i))
        assert len(_ovix.FidsDocCount_getFirst(dc, True)) == 1
        _ovix.FidsDocCount_getNextFinish(dc)
        assert len(_ovix.FidsDocCount_getFirst(dc, 2**31 - 1)) == 3
        _ovix.FidsDocCount_getNextFinish(dc)
        message = r"^in method 'FidsDocCount_addFidCounts', argument 3 of type 'int'$"
        for bad in (2.5, 2**31, -(2**31) - 1, "1", None):
            with pytest.raises(TypeError, match=message):
                _ovix.FidsDocCount_addFidCounts(dc, b"", bad, False)

    def test_bool_takes_any_int_and_refuses_other_types(self):
        assert _ovix.Fids_getNewTokens(_ovix.new_Fids(7)) == []
        fids = _ovix.new_Fids(7)
        _ovix.Fids_getFid(fids, "x")
        assert len(_ovix.Fids_getNewTokens(fids)) == 1
        fids = _ovix.new_Fids(0)
        _ovix.Fids_getFid(fids, "x")
        assert _ovix.Fids_getNewTokens(fids) == []
        for bad in ("x", 1.0, 2**31, None):
            with pytest.raises(TypeError, match=r"^in method 'new_Fids', argument 1 of type 'bool'$"):
                _ovix.new_Fids(bad)

    def test_text_takes_str_and_bytes_up_to_the_first_nul(self):
        fids = ovix.Fids(False)
        assert fids.getFid("ab") == fids.getFid(b"ab") == fids.getFid(b"ab\0cd")
        assert fids.getFid("é") == fids.getFid("é".encode())
        for bad in (None, 5, bytearray(b"ab")):
            with pytest.raises(TypeError, match=r"^in method 'Fids_getFid', argument 2 of type 'char const \*'$"):
                _ovix.Fids_getFid(fids, bad)

    def test_object_arguments_take_only_their_own_class(self):
        fid = ovix.Fid("x")
        with pytest.raises(TypeError, match=r"^in method 'Fid_toPyString', argument 1 of type 'Fid const \*'$"):
            _ovix.Fid_toPyString(ovix.FidHash())
        with pytest.raises(TypeError, match=r"^in method 'new_FidsDocCount', argument 1 of type 'Fids \*'$"):
            _ovix.new_FidsDocCount(None)
        assert _ovix.Fid_toPyString(fid.this) == b"x"

    def test_wrong_argument_count_is_the_interpreters_type_error(self):
        with pytest.raises(TypeError):
            _ovix.Fid_toPyString()
        with pytest.raises(TypeError):
            _ovix.delete_Fid(ovix.Fid("a"), 1)


class TestOverloads:
    @pytest.mark.parametrize("row, args", [
        ("new_Fid", ()),
        ("new_Fid", ("a", 1, 2)),
        ("new_Fid", ("a", 2.5)),
        ("FidHash___call__", (ovix.FidHash(),)),
        ("FidsDocCount_getFirst", (ovix.FidsDocCount(ovix.Fids(False)), "x")),
        ("FidsDocCount_incrDocCount", (ovix.FidsDocCount(ovix.Fids(False)),)),
    ])
    def test_no_matching_form_raises_not_implemented(self, row, args):
        with pytest.raises(NotImplementedError, match=rf"^No matching function for overloaded '{row}'$"):
            getattr(_ovix, row)(*args)


class TestErrorsAndOwnership:
    def test_thrown_text_becomes_runtime_error_and_the_object_still_works(self):
        dc = ovix.FidsDocCount(ovix.Fids(False))
        with pytest.raises(RuntimeError, match=r"^Iteration not started$"):
            dc.getNext()
        dc.incrDocCount("a")
        assert dc.getDocCount("a") == 1

    def test_pointer_objects_own_and_disown(self):
        this = _ovix.new_Fid("a")
        assert this.own()
        this.disown()
        assert not this.own()
        this.acquire()
        assert this.own()
        assert type(this).__name__ == "SwigPyObject"

    def test_results_are_instances_made_without_init(self):
        fid = ovix.Fids(False).getFidNative("abc")
        assert type(fid) is ovix.Fid
        assert fid.this.own()

    def test_use_after_delete_raises_instead_of_touching_freed_memory(self):
        fid = ovix.Fid("a")
        _ovix.delete_Fid(fid)
        with pytest.raises(TypeError, match=r"argument 1 of type 'Fid const \*'"):
            fid.toPyString()
        with pytest.raises(TypeError):
            _ovix.delete_Fid(fid)

    def test_deleting_a_non_owned_object_still_destroys_it(self):
        this = _ovix.new_Fid("a")
        this.disown()
        assert _ovix.delete_Fid(this) is None
        with pytest.raises(TypeError):
            _ovix.Fid_toPyString(this)

    def test_objects_made_by_the_rows_alone_are_destroyed(self):
        # Without the proxy module: every class's destructor is registered at
        # import, results are bare pointer objects, and nothing prints "swig/python
        # detected a memory leak".
        script = """if True:
            import gc, io, weakref, _ovix
            class File(io.BytesIO): pass
            file = File()
            file_freed = weakref.ref(file)
            fids = _ovix.new_Fids(True)
            objects = [_ovix.new_FidsDocCount(fids), _ovix.new_FeatureDict(fids), _ovix.Fids_getFidNative(fids, "a"),
                       _ovix.new_Tidy({}, file), _ovix.new_ClassifierWrapper(1), _ovix.new_FeatureDvecsMem(2),
                       _ovix.new_PorterStemmer(), _ovix.new_stdstrlist()]
            objects.append(_ovix.stdstrlist_iterator(objects[-1]))
            assert {type(o).__name__ for o in objects} == {"SwigPyObject"}
            del file, fids, objects
            gc.collect()
            assert file_freed() is None
            print("destroyed")
        """
        result = run_isolated(script, timeout=60)
        assert result.returncode == 0, result.stderr
        assert result.stdout == "destroyed\n"
        assert "cleaned up Classifier" in result.stderr
