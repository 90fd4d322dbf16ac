// Printing the word list and the statistics: to an RTF file in "Ausgabe" or the printer.
#include "main.h"

#include "print.h"

namespace tafelix {

void TForm1::ToolButton22Click() {}

void TForm1::ToolButton24Click() {}

void TForm1::BuildVocabularyPrintText() {}

void TForm1::BuildStatisticsPrintText() {}

void TForm1::ApplyPrintFont() {}

void TForm1::TabSheet4Exit()
{
    RichEdit1.clear({});
}

} // namespace tafelix
