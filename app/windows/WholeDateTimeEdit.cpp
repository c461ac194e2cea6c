#include "app/windows/WholeDateTimeEdit.h"

// QDateTimeEdit would move to its next section and leave only from the last one.
bool WholeDateTimeEdit::focusNextPrevChild(bool next) { return QWidget::focusNextPrevChild(next); }
