#include "testing/browser/ScriptedDocument.h"

#include <algorithm>

#include "compat/browser/HtmlWindow2.h"
#include "compat/com/ComObject.h"
#include "testing/browser/LoadedPage.h"

namespace compat::testing {

namespace {

struct PageFacts {
    std::string url;
    std::vector<std::string> functions;
    std::shared_ptr<ScriptLog> log;
};

class PageLocation final : public ComObject<HtmlLocation> {
public:
    explicit PageLocation(std::string url) : m_url(std::move(url)) {}
    HRESULT GetHref(std::string& href) override {
        href = m_url;
        return S_OK;
    }

private:
    std::string m_url;
};

// A function's dispatch id is its place in the page's list, from 1.
class PageScript final : public ComObject<Dispatch, HtmlWindow2> {
public:
    explicit PageScript(std::shared_ptr<const PageFacts> page) : m_page(std::move(page)) {}

    HRESULT GetIDsOfNames(std::string_view name, DispatchId& id) override {
        m_page->log->add(ScriptCall{m_page->url, "GetIDsOfNames", {std::string(name)}});
        const auto& functions = m_page->functions;
        const auto found = std::find(functions.begin(), functions.end(), name);
        if (found == functions.end())
            return DISP_E_UNKNOWNNAME;
        id = static_cast<DispatchId>(found - functions.begin()) + 1;
        return S_OK;
    }
    HRESULT Invoke(DispatchId id, std::span<const DispatchValue> arguments, DispatchValue& result) override {
        const auto& functions = m_page->functions;
        if (id < 1 || static_cast<std::size_t>(id) > functions.size())
            return DISP_E_MEMBERNOTFOUND;
        m_page->log->add(ScriptCall{m_page->url, functions[static_cast<std::size_t>(id) - 1],
                                    std::vector<DispatchValue>(arguments.begin(), arguments.end())});
        result = std::monostate{};
        return S_OK;
    }
    HRESULT execScript(std::string_view code, std::string_view language, DispatchValue& result) override {
        m_page->log->add(ScriptCall{m_page->url, "execScript", {std::string(code), std::string(language)}});
        const std::string called = calledFunction(code);
        const auto& functions = m_page->functions;
        if (!called.empty() && std::find(functions.begin(), functions.end(), called) == functions.end())
            return DISP_E_EXCEPTION;
        result = std::monostate{};
        return S_OK;
    }

private:
    std::shared_ptr<const PageFacts> m_page;
};

class ScriptedDocument final : public ComObject<HtmlDocument> {
public:
    explicit ScriptedDocument(std::shared_ptr<const PageFacts> page)
        : m_page(std::move(page)), m_script(ComPtr<Dispatch>::adopt(new PageScript(m_page))) {}

    HRESULT GetLocation(HtmlLocation** location) override {
        if (!location)
            return E_POINTER;
        *location = new PageLocation(m_page->url);
        return S_OK;
    }
    HRESULT GetScript(Dispatch** script) override {
        if (!script)
            return E_POINTER;
        m_script->AddRef();
        *script = m_script.get();
        return S_OK;
    }

private:
    std::shared_ptr<const PageFacts> m_page;
    ComPtr<Dispatch> m_script;
};

}  // namespace

ComPtr<HtmlDocument> makeScriptedDocument(std::string url, std::vector<std::string> functions,
                                          std::shared_ptr<ScriptLog> log) {
    auto page = std::make_shared<const PageFacts>(PageFacts{std::move(url), std::move(functions), std::move(log)});
    return ComPtr<HtmlDocument>::adopt(new ScriptedDocument(std::move(page)));
}

}  // namespace compat::testing
