#pragma once
// The document of a page that a scripted browser loaded: its location and
// its script object (the page's window), which knows the page's functions
// one name per lookup, runs them by id and runs code by text. Every call on
// the script object is recorded in the browser's script log, which any
// thread may read.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "compat/com/ComPtr.h"
#include "compat/com/Dispatch.h"
#include "compat/com/HtmlDocument.h"

namespace compat::testing {

// One call on a page's script object: "GetIDsOfNames" with the name asked
// for, "execScript" with the code and the language, or the name of the
// function called with its arguments.
struct ScriptCall {
    std::string page;
    std::string name;
    std::vector<DispatchValue> arguments;
};

class ScriptLog {
public:
    void add(ScriptCall call) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(call));
    }
    std::vector<ScriptCall> calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<ScriptCall> m_calls;
};

// The document of the page at `url` with the script functions `functions`.
// execScript of code that calls a function the page lacks fails with
// DISP_E_EXCEPTION, as a script error does.
ComPtr<HtmlDocument> makeScriptedDocument(std::string url, std::vector<std::string> functions,
                                          std::shared_ptr<ScriptLog> log);

constexpr HRESULT DISP_E_EXCEPTION = makeResult(0x80020009);

}  // namespace compat::testing
