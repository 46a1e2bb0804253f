// What a rule would have done, as the entry sheet and the Defaults page
// show it: a sentence with the counts, then the newest calls it would have
// blocked, one a line.
#pragma once

#include "app/RulePreview.h"

#include <string>

namespace rw {

// `sentenceId`: IDS_PREVIEW_ENTRY or IDS_PREVIEW_DEFAULTS.
std::string RulePreviewText(const CRulePreviewResult& result, unsigned sentenceId, int days);

} // namespace rw
