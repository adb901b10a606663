#pragma once

#include <string>

#include "app/LargeBuffer.h"

class QPagedPaintDevice;
class QPageSize;

namespace quillane {

class OPattern;
struct TSheet;

// Letter or A4, by the country the system's locale names.
QPageSize LocalPageSize();

// Draws the sheet on the device, page after page from the one it is on; the device's page
// and margins decide how much a page holds. The same drawing goes to a PDF and a printer.
void PaintSheet(QPagedPaintDevice& device, const TSheet& sheet, const OPattern& pattern);

// The sheet as a PDF on the local paper.
TBytes SheetPdfBytes(const TSheet& sheet, const OPattern& pattern);
// Writes it atomically; throws Exception when it cannot be written.
void SaveSheetPdf(const std::string& path, const TSheet& sheet, const OPattern& pattern);

} // namespace quillane
