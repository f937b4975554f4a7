#pragma once
// The browser's side of a page that hosts a control, scripted by tests: a
// client site whose container is the page's document, whose location has
// the address the test sets. Each link of that chain can be taken away, and
// every call the control makes on the page is recorded in order.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compat/com/ClientSite.h"
#include "compat/com/ComPtr.h"

namespace ovix::testing {

class ScriptedPage {
public:
    ScriptedPage();

    // The page's address; none makes the location fail to give one.
    void setHref(std::optional<std::string> href);
    // Without a container the site's GetContainer fails.
    void setHasContainer(bool has);
    // A container that is not an HTML document (another kind of host).
    void setContainerIsDocument(bool is);
    // Without a location the document's GetLocation fails.
    void setHasLocation(bool has);

    // The site to hand to the control.
    compat::ComPtr<compat::ClientSite> site() const;
    // The calls made so far, such as "ClientSite.GetContainer".
    std::vector<std::string> calls() const;

    // What the page's objects share with it.
    struct State;

private:
    std::shared_ptr<State> m_state;
    compat::ComPtr<compat::ClientSite> m_site;
};

}  // namespace ovix::testing
