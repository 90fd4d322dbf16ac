// The special characters window as the main window uses it.
#include "main.h"

#include "chrkt.h"

namespace tafelix {

void TForm1::SpeedButton1Click() {}

void TForm1::SpeedButton2Click() {}

void TForm1::InsertSpecialCharacter(const QString&) {}

} // namespace tafelix
