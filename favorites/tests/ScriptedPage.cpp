#include "favorites/tests/ScriptedPage.h"

#include <mutex>

#include "compat/com/ComObject.h"
#include "compat/com/HtmlDocument.h"

namespace ovix::testing {

using namespace compat;

struct ScriptedPage::State {
    std::mutex mutex;
    std::optional<std::string> href;
    bool hasContainer = true;
    bool containerIsDocument = true;
    bool hasLocation = true;
    std::vector<std::string> calls;

    void record(std::string call) {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }
};

namespace {

using State = std::shared_ptr<ScriptedPage::State>;

class Location final : public ComObject<HtmlLocation> {
public:
    explicit Location(State state) : m_state(std::move(state)) {}
    HRESULT GetHref(std::string& href) override {
        m_state->record("Location.GetHref");
        std::lock_guard lock(m_state->mutex);
        if (!m_state->href)
            return E_FAIL;
        href = *m_state->href;
        return S_OK;
    }

private:
    State m_state;
};

// A container that is a document, or only a container.
class Document final : public ComObject<Container, HtmlDocument> {
public:
    explicit Document(State state) : m_state(std::move(state)) {}
    HRESULT GetLocation(HtmlLocation** location) override {
        m_state->record("Document.GetLocation");
        if (!location)
            return E_POINTER;
        *location = nullptr;
        {
            std::lock_guard lock(m_state->mutex);
            if (!m_state->hasLocation)
                return E_FAIL;
        }
        *location = new Location(m_state);
        return S_OK;
    }
    // The page runs no script.
    HRESULT GetScript(Dispatch** script) override {
        m_state->record("Document.GetScript");
        if (!script)
            return E_POINTER;
        *script = nullptr;
        return E_NOTIMPL;
    }

protected:
    void* findInterface(const Guid& id) override {
        if (id == HtmlDocument::kId) {
            m_state->record("Container.QueryInterface(HtmlDocument)");
            std::lock_guard lock(m_state->mutex);
            if (!m_state->containerIsDocument)
                return nullptr;
        }
        return ComObject::findInterface(id);
    }

private:
    State m_state;
};

class Site final : public ComObject<ClientSite> {
public:
    explicit Site(State state) : m_state(std::move(state)) {}
    HRESULT GetContainer(Container** container) override {
        m_state->record("ClientSite.GetContainer");
        if (!container)
            return E_POINTER;
        *container = nullptr;
        {
            std::lock_guard lock(m_state->mutex);
            if (!m_state->hasContainer)
                return E_NOINTERFACE;
        }
        *container = new Document(m_state);
        return S_OK;
    }

private:
    State m_state;
};

}  // namespace

ScriptedPage::ScriptedPage()
    : m_state(std::make_shared<State>()), m_site(ComPtr<ClientSite>::adopt(new Site(m_state))) {}

void ScriptedPage::setHref(std::optional<std::string> href) {
    std::lock_guard lock(m_state->mutex);
    m_state->href = std::move(href);
}

void ScriptedPage::setHasContainer(bool has) {
    std::lock_guard lock(m_state->mutex);
    m_state->hasContainer = has;
}

void ScriptedPage::setContainerIsDocument(bool is) {
    std::lock_guard lock(m_state->mutex);
    m_state->containerIsDocument = is;
}

void ScriptedPage::setHasLocation(bool has) {
    std::lock_guard lock(m_state->mutex);
    m_state->hasLocation = has;
}

ComPtr<ClientSite> ScriptedPage::site() const {
    return m_site;
}

std::vector<std::string> ScriptedPage::calls() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->calls;
}

}  // namespace ovix::testing
