// Find, sort, shuffle and reset on the page "Vokabeln bearbeiten".
#include "main.h"

namespace tafelix {

void TForm1::ToolButton17Click() {}

void TForm1::FindDialog1Find() {}

void TForm1::ToolButton27Click() {}

void TForm1::ToolButton25Click() {}

void TForm1::ToolButton10Click() {}

} // namespace tafelix
