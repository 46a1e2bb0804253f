#include "ui/RulePreviewText.h"

#include "records/LoggedCall.h"
#include "ui/CallListOrder.h"
#include "ui/framework/AppMessageBox.h"

#include "res/resource.h"

namespace rw {

std::string RulePreviewText(const CRulePreviewResult& result, unsigned sentenceId, int days) {
    std::string text =
        FormatResStrings(sentenceId, {std::to_string(days), std::to_string(result.blocked),
                                      std::to_string(result.numbers)});
    // Three fit the sheet's few lines; the count says the rest.
    size_t shown = 0;
    for (const CLoggedCall* call : result.examples) {
        if (++shown > 3)
            break;
        text += "\r\n" + FormatResStrings(IDS_PREVIEW_EXAMPLE,
                                          {call->GetNumber(), FormatCallTime(call->GetCallTime())});
    }
    return text;
}

} // namespace rw
