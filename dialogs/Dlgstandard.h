#pragma once
// TDlgBoxStdr: the modal field-list dialog. The caller describes its fields in a
// TabInfoItemMenu; the dialog builds and lays out one row of controls per field and, on OK
// only, writes the edited values back into the same table.

#include <vector>

#include <QDialog>
#include <QString>
#include <QStringList>

#include "dialogs/InfoItemMenu.h"

class QCheckBox;
class QFileDialog;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;

namespace velk {

// `text` when it has at most n characters, else its first n/2 characters, "..." and its last
// n/2 characters.
QString ShortenMiddle(const QString& text, int n);

// Width in pixels that `text` needs in the dialog font to be drawn whole.
int CaptionTextWidth(const QString& text);

// Row height in pixels of a field kind (rows are 5 pixels apart).
int FieldRowHeight(std::uint8_t kind);

class TDlgBoxStdr : public QDialog {
    Q_OBJECT
public:
    static constexpr int ModalOk = 1;
    static constexpr int ModalCancel = 2;

    // `table` must outlive the dialog; it is read here and written only when OK is pressed.
    TDlgBoxStdr(QWidget* owner, TabInfoItemMenu& table);
    ~TDlgBoxStdr() override;

    // 1 after OK (the values are in the table), 2 after Cancel, Escape or the close box.
    int ShowModal() { return exec(); }

    // The input (or check box, "..." button, push button, memo) of record `record` (1-based),
    // for callers and tests that need the control itself.
    QWidget* FieldControl(int record) const;

    // The two pickers, created when first needed; Qt's own dialogs, so they behave the same on
    // every desktop.
    QFileDialog* FolderPicker();
    QFileDialog* FilePicker();

    void reject() override;

private:
    struct Field {
        int record = 0; // index into the table
        std::uint8_t kind = 0;
        QLabel* caption = nullptr;
        QWidget* input = nullptr; // the field's tab stop
        QLabel* pathLabel = nullptr;
        QListWidget* fileList = nullptr;
        QString path;
        QStringList files;
    };

    void BuildCaptions();
    void BuildInputs();
    void FinishLayout();
    void ButtonOkClick();
    void FolderButtonClick(Field& field);
    void FilesButtonClick(Field& field);

    TabInfoItemMenu& table_;
    std::vector<Field> fields_;
    int labelHeight_ = 13;
    int column_ = 0;
    int extent_ = 0;
    int bottom_ = 0;
    QFrame* frame_ = nullptr;
    QPushButton* buttonOk_ = nullptr;
    QPushButton* buttonCancel_ = nullptr;
    QFileDialog* folderPicker_ = nullptr;
    QFileDialog* filePicker_ = nullptr;
};

} // namespace velk
