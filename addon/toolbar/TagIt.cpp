#include "addon/toolbar/TagIt.h"

#include "addon/coding/Base64.h"
#include "addon/coding/CURLEncode.h"
#include "base/FormatText.h"

namespace ovix {

std::string TagItPath(int interestId, std::string_view title, std::string_view address) {
    const std::string tag =
        formatText("{\"%d\":[\"%s\",\"%s\"]}", interestId, Base64FromText(title), Base64FromText(address));
    return "/TagItDialog?tag=" + CURLEncode::Encode(tag);
}

}  // namespace ovix
