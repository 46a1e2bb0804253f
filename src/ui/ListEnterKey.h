// Gives a list view in a dialog the Enter key. The dialog manager would
// otherwise turn Enter into a click on the default button; with this hook
// the list sees it and tells its parent NM_RETURN, so that Enter acts on
// the row, as a double-click does.
#pragma once

#include "ui/SubclassWnd.h"

namespace rw {

class CListEnterKey : public CSubclassWnd {
public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace rw
