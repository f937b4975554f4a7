#pragma once
// The control module's application object: one per loaded module, holding
// the configuration read from "vantile.config" beside the module.

#include "addon/core/CAddonConfig.h"

namespace ovix::favorites {

class CVantileImportFavoritesApp {
public:
    virtual ~CVantileImportFavoritesApp() = default;
    // Reads the configuration from the module's own folder; true when the
    // module may be used (a missing file leaves the configuration empty).
    virtual bool InitInstance();
    virtual int ExitInstance();

    CAddonConfig config;
};

// The module's one application object.
extern CVantileImportFavoritesApp theApp;

}  // namespace ovix::favorites
