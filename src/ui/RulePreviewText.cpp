#include "ui/RulePreviewText.h"

#include "records/LoggedCall.h"
#include "records/StringTable.h"
#include "ui/CallListOrder.h"
#include "ui/framework/AppMessageBox.h"

#include "res/resource.h"

namespace rw {
namespace {

std::string Counted(size_t count, unsigned one, unsigned many) {
    return count == 1 ? LoadResString(one) : FormatResStrings(many, {std::to_string(count)});
}

} // namespace

std::string RulePreviewText(const CRulePreviewResult& result, unsigned sentenceId, int days) {
    std::string text = FormatResStrings(
        sentenceId,
        {std::to_string(days), Counted(result.blocked, IDS_PREVIEW_CALL, IDS_PREVIEW_CALLS),
         Counted(result.numbers, IDS_PREVIEW_NUMBER, IDS_PREVIEW_NUMBERS)});
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
