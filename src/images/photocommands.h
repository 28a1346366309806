#pragma once

#include "documents.h"

class QWidget;

namespace ui {
struct MainParts;
}

namespace images {

// Adds the import, export, enlarge and scan buttons under each of the five picture boxes of the
// photo group, connects them and the click highlight of the boxes.
void AttachPhotoCommands(ui::MainParts& parts);

// The commands of the buttons; form is the window holding the picture boxes.
void ImportDocument(QWidget* form, Document document);
void ExportDocument(QWidget* form, Document document);
void EnlargeDocument(QWidget* form, Document document);
void ScanDocument(QWidget* form, Document document);

// Marks the clicked box (border style 4) and shows the other four plain (border style 1). The
// style is kept in the box's "borderStyle" property.
void HighlightPictureBox(QWidget* form, Document clicked);

} // namespace images
