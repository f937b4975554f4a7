#include "addon/browser/toolbar/TagIt.h"

#include "addon/core/coding/Base64.h"
#include "addon/core/coding/CURLEncode.h"
#include "base/FormatText.h"

namespace ovix {

std::string TagItPath(int interestId, std::string_view title, std::string_view address) {
    const std::string tag =
        formatText("{\"%d\":[\"%s\",\"%s\"]}", interestId, Base64FromText(title), Base64FromText(address));
    return "/TagItDialog?tag=" + CURLEncode::Encode(tag);
}

}  // namespace ovix
