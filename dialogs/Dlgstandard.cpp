#include "dialogs/Dlgstandard.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "common/NumberFormat.h"
#include "dialogs/DialogFont.h"
#include "dialogs/MaskText.h"
#include "dialogs/MessageReport.h"
#include "dialogs/NumberEdit.h"

namespace velk {

namespace {

constexpr int FirstRowTop = 15;
constexpr int RowGap = 5;
constexpr int LeftMargin = 15;
constexpr int InputGap = 30;     // from the caption column to the inputs
constexpr int ExtentMargin = 15; // added to an input's right end for the extent
constexpr int PixelsPerChar = 8; // of Width
constexpr int ChoicePixelsPerChar = 7;
constexpr int DesignedMaskedEditWidth = 63;
constexpr int BrowseButtonSize = 23;
constexpr int FileListWidth = 180;
constexpr int FileListHeight = 97;
constexpr int MemoWidth = 400;
constexpr int MemoHeight = 150;
constexpr int PushButtonWidth = 75;
constexpr int PushButtonHeight = 25;
constexpr int CheckBoxHeight = 17;
constexpr int CheckBoxExtra = 35; // the box and its spacing beside the text
constexpr int FrameLeft = 5;
constexpr int MinClientWidth = 190;
constexpr int PathShownLength = 20;
constexpr int ChoiceMinWidthChars = 1;
constexpr int FieldDigits = 7;
// A number edit's text is written in its own expression language, whatever the program-wide
// separator is at the time: with the locale's comma the field would refuse its own text.
const QChar NumberEditPoint(QLatin1Char('.'));

constexpr std::array<int, 12> RowHeights = {22, 21, 17, 21, 21, 52, 125, 28, 170, 21, 21, 21};

bool HasCaptionLabel(std::uint8_t kind) {
    switch (kind) {
    case KindSpinInt:
    case KindText:
    case KindFloat:
    case KindInt:
    case KindTime:
    case KindAngle:
    case KindChoice:
        return true;
    default:
        return false;
    }
}

int RoundToInt(double value) {
    const double r = std::nearbyint(value);
    if (std::isnan(r)) return 0;
    return static_cast<int>(std::clamp(r, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

// A field width of 0 means no limit on what may be typed. The limit never cuts the text the
// caller gave, which would silently change the value shown and written back.
int TypingLimit(std::uint8_t width, const QString& initialText) {
    if (width == 0) return 32767;
    return std::max<int>(width, static_cast<int>(initialText.size()));
}

// "Text files|*.txt|All files|*.*" in the form Qt's file dialog takes.
QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
    }
    return out;
}

// A check box whose caption starts at its left edge with the box at its right end, so the
// caption lines up with the other captions of the dialog.
class CaptionLeftCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const int boxWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
        const int boxHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
        QStyleOptionButton box = option;
        box.rect = QRect(width() - boxWidth - 1, (height() - boxHeight) / 2, boxWidth, boxHeight);
        painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
        const QRect textArea(0, 0, box.rect.left(), height());
        painter.drawItemText(textArea, Qt::AlignLeft | Qt::AlignVCenter, option.palette,
                             isEnabled(), text(), QPalette::WindowText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = fontMetrics()
                             .boundingRect(textArea, Qt::AlignLeft | Qt::AlignVCenter, text())
                             .adjusted(-1, 0, 1, 0);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// The masked texts in DejaVu Sans are wider than the designed 63 pixels allow for.
int MaskedEditWidth(std::uint8_t kind) {
    const QString widest =
        kind == KindTime ? QStringLiteral("00h00m00s") : QStringLiteral("-00\u00B000'00''");
    return std::max(DesignedMaskedEditWidth, CaptionTextWidth(widest) + 12);
}

QStringList MemoLines(const QPlainTextEdit* memo) {
    QString text = memo->toPlainText();
    if (text.isEmpty()) return {};
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text.split(QLatin1Char('\n'));
}

} // namespace

QString ShortenMiddle(const QString& text, int n) {
    if (text.size() <= n) return text;
    return text.left(n / 2) + QStringLiteral("...") + text.right(n / 2);
}

int CaptionTextWidth(const QString& text) {
    const QFontMetrics metrics(DialogFont());
    // The advance alone can leave the last glyph's overhang outside the label.
    return std::max(metrics.horizontalAdvance(text),
                    metrics.boundingRect(QRect(0, 0, 4000, 100), Qt::AlignLeft, text).width());
}

int FieldRowHeight(std::uint8_t kind) {
    return kind < RowHeights.size() ? RowHeights[kind] : 0;
}

TDlgBoxStdr::TDlgBoxStdr(QWidget* owner, TabInfoItemMenu& table) : QDialog(owner), table_(table) {
    setFont(DialogFont());
    setWindowTitle(QStringLiteral("DlgBoxStdr"));
    labelHeight_ = QFontMetrics(DialogFont()).height();

    for (int i = 0; i < MaxShownFields && !table_[static_cast<std::size_t>(i)].Caption.isEmpty();
         ++i) {
        const std::uint8_t kind = table_[static_cast<std::size_t>(i)].Kind;
        if (kind < RowHeights.size()) fields_.push_back(Field{i, kind, {}, {}, {}, {}, {}, {}});
    }
    // The frame first, so that every control lies above it.
    frame_ = new QFrame(this);
    frame_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame_->setObjectName(QStringLiteral("Frame"));

    BuildCaptions();
    BuildInputs();
    FinishLayout();
}

TDlgBoxStdr::~TDlgBoxStdr() = default;

QWidget* TDlgBoxStdr::FieldControl(int record) const {
    for (const Field& f : fields_)
        if (f.record == record - 1) return f.input;
    return nullptr;
}

void TDlgBoxStdr::BuildCaptions() {
    int y = FirstRowTop;
    for (Field& f : fields_) {
        const TInfoItemMenu& item = table_[static_cast<std::size_t>(f.record)];
        const int rowHeight = FieldRowHeight(f.kind);
        auto makeCaption = [&](int top) {
            f.caption = new QLabel(item.Caption, this);
            f.caption->setObjectName(QStringLiteral("Caption%1").arg(f.record + 1));
            f.caption->setGeometry(LeftMargin, top, CaptionTextWidth(item.Caption), labelHeight_);
        };
        if (HasCaptionLabel(f.kind)) {
            makeCaption(y + (rowHeight - labelHeight_) / 2);
            column_ = std::max(column_, f.caption->width());
        } else if (f.kind == KindFolder || f.kind == KindFiles) {
            const std::size_t index = static_cast<std::size_t>(&f - fields_.data());
            makeCaption(y + 8);
            auto* browse = new QPushButton(QStringLiteral("..."), this);
            browse->setObjectName(QStringLiteral("Browse%1").arg(f.record + 1));
            browse->setAutoDefault(false);
            browse->setGeometry(f.caption->x() + 10, f.caption->y() + labelHeight_ + 4,
                                BrowseButtonSize, BrowseButtonSize);
            f.input = browse;
            const int right = browse->x() + browse->width() + 8;
            if (f.kind == KindFolder) {
                f.path = item.HasValue ? item.StrValue : QDir::rootPath();
                f.pathLabel = new QLabel(ShortenMiddle(f.path, PathShownLength), this);
                f.pathLabel->setObjectName(QStringLiteral("Path%1").arg(f.record + 1));
                f.pathLabel->adjustSize();
                f.pathLabel->move(right, browse->y() + browse->height() / 2 -
                                             f.pathLabel->height() / 2 + 2);
                connect(browse, &QPushButton::clicked, this,
                        [this, index] { FolderButtonClick(fields_[index]); });
            } else {
                f.fileList = new QListWidget(this);
                f.fileList->setObjectName(QStringLiteral("List%1").arg(f.record + 1));
                f.fileList->setFocusPolicy(Qt::ClickFocus);
                f.fileList->setGeometry(right, browse->y(), FileListWidth, FileListHeight);
                connect(browse, &QPushButton::clicked, this,
                        [this, index] { FilesButtonClick(fields_[index]); });
            }
        } else if (f.kind == KindMemo) {
            makeCaption(y);
            auto* memo = new QPlainTextEdit(this);
            memo->setObjectName(QStringLiteral("Input%1").arg(f.record + 1));
            memo->setTabChangesFocus(true);
            memo->setGeometry(LeftMargin, y + labelHeight_ + 8, MemoWidth, MemoHeight);
            if (item.HasValue && item.ListValue)
                memo->setPlainText(item.ListValue->join(QLatin1Char('\n')));
            f.input = memo;
        }
        y += rowHeight + RowGap;
    }
    bottom_ = y;
}

void TDlgBoxStdr::BuildInputs() {
    int y = FirstRowTop;
    for (Field& f : fields_) {
        const TInfoItemMenu& item = table_[static_cast<std::size_t>(f.record)];
        const QString name = QStringLiteral("Input%1").arg(f.record + 1);
        QWidget* input = nullptr;
        int width = item.Width * PixelsPerChar;
        switch (f.kind) {
        case KindText: {
            auto* edit = new QLineEdit(this);
            if (item.HasValue) edit->setText(item.StrValue);
            input = edit;
            break;
        }
        case KindFloat:
        case KindInt: {
            auto* edit = new TNumberEdit(this);
            edit->SetTypeValue(f.kind == KindFloat ? TTypeValue::Float : TTypeValue::Int);
            edit->SetMaxValue(item.MaxValue);
            edit->SetMinValue(item.MinValue);
            QString text;
            if (item.HasValue)
                text = f.kind == KindFloat
                           ? FormatGeneral(item.FloatValue, FieldDigits, NumberEditPoint)
                           : QString::number(item.IntValue);
            edit->setMaxLength(TypingLimit(item.Width, text));
            edit->setText(text);
            input = edit;
            break;
        }
        case KindTime:
        case KindAngle: {
            auto* edit = new QLineEdit(this);
            const bool time = f.kind == KindTime;
            edit->setInputMask(QString::fromUtf8(time ? TimeInputMask : AngleInputMask));
            if (item.HasValue)
                edit->setText(time ? TimeToMaskText(item.FloatValue)
                                   : AngleToMaskText(item.FloatValue));
            width = MaskedEditWidth(f.kind);
            input = edit;
            break;
        }
        case KindChoice: {
            auto* combo = new QComboBox(this);
            combo->setEditable(true);
            combo->addItems(item.Items);
            qsizetype longest = ChoiceMinWidthChars;
            for (const QString& s : item.Items)
                longest = std::max(longest, s.size());
            // Never narrower than the longest choice with the drop-down arrow beside it.
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            width = std::max(static_cast<int>(longest) * ChoicePixelsPerChar,
                             combo->sizeHint().width());
            const int index =
                item.HasValue && item.IntValue >= 0 && item.IntValue < item.Items.size()
                    ? item.IntValue
                    : 0;
            combo->setCurrentIndex(item.Items.isEmpty() ? -1 : index);
            input = combo;
            break;
        }
        case KindSpinInt: {
            auto* spin = new QSpinBox(this);
            spin->setRange(RoundToInt(item.MinValue), RoundToInt(item.MaxValue));
            spin->setSingleStep(item.Increment);
            if (item.HasValue) spin->setValue(item.IntValue);
            spin->findChild<QLineEdit*>()->setMaxLength(TypingLimit(item.Width, spin->text()));
            input = spin;
            break;
        }
        case KindCheck: {
            auto* check = new CaptionLeftCheckBox(item.Caption, this);
            check->setChecked(item.BoolValue);
            check->setGeometry(LeftMargin, y + 3, CaptionTextWidth(item.Caption) + CheckBoxExtra,
                               CheckBoxHeight);
            check->setObjectName(name);
            column_ = std::max(column_, check->width());
            extent_ = std::max(extent_, check->width());
            f.input = check;
            break;
        }
        case KindFiles:
            extent_ = std::max(extent_, FileListWidth + BrowseButtonSize + 25);
            break;
        case KindFolder: {
            // Room inside the frame for the longest shortened path a later choice may show.
            const QFontMetrics metrics(DialogFont());
            const int room =
                std::max(f.pathLabel->width(), metrics.averageCharWidth() * (PathShownLength + 3));
            extent_ = std::max(extent_, f.pathLabel->x() + room - 20);
            break;
        }
        case KindButton: {
            auto* button = new QPushButton(item.Caption, this);
            button->setObjectName(name);
            button->setAutoDefault(false);
            button->setProperty("Tag", item.Tag);
            const int buttonWidth = std::max(PushButtonWidth, button->sizeHint().width());
            button->setGeometry(LeftMargin, y, buttonWidth, PushButtonHeight);
            if (item.OnClick) {
                auto handler = item.OnClick;
                connect(button, &QPushButton::clicked, this,
                        [handler, button] { handler(button); });
            }
            extent_ = std::max(extent_, buttonWidth + column_ + ExtentMargin);
            f.input = button;
            break;
        }
        case KindMemo:
            extent_ = std::max({extent_, MemoWidth, f.caption->width()});
            break;
        default:
            break;
        }
        if (input) {
            input->setObjectName(name);
            input->setGeometry(column_ + InputGap, y, width, FieldRowHeight(f.kind));
            extent_ = std::max(extent_, width + column_ + ExtentMargin);
            f.input = input;
        }
        y += FieldRowHeight(f.kind) + RowGap;
    }
}

void TDlgBoxStdr::FinishLayout() {
    QWidget* previous = nullptr;
    for (Field& f : fields_) {
        if (!f.input) continue;
        if (f.kind == KindButton || f.kind == KindMemo) f.input->resize(extent_, f.input->height());
        f.input->setFocusPolicy(f.kind == KindButton || f.kind == KindFolder || f.kind == KindFiles
                                    ? Qt::StrongFocus
                                    : f.input->focusPolicy());
        if (previous) setTabOrder(previous, f.input);
        previous = f.input;
    }

    const int frameWidth = extent_ + 20;
    const int frameHeight = bottom_ + 5;
    frame_->setGeometry(FrameLeft, FrameLeft, frameWidth, frameHeight);
    const int frameRight = FrameLeft + frameWidth;
    const int frameBottom = FrameLeft + frameHeight;

    buttonCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    buttonCancel_->setObjectName(QStringLiteral("ButtonCancel"));
    buttonCancel_->setAutoDefault(false);
    buttonCancel_->setProperty(AbandonsEntryProperty, true);
    buttonCancel_->setGeometry(frameRight - PushButtonWidth - 5, frameBottom + 5, PushButtonWidth,
                               PushButtonHeight);
    connect(buttonCancel_, &QPushButton::clicked, this, [this] { done(ModalCancel); });

    buttonOk_ = new QPushButton(QStringLiteral("OK"), this);
    buttonOk_->setObjectName(QStringLiteral("ButtonOk"));
    buttonOk_->setDefault(true);
    buttonOk_->setGeometry(buttonCancel_->x() - PushButtonWidth - 8, buttonCancel_->y(),
                           PushButtonWidth, PushButtonHeight);
    connect(buttonOk_, &QPushButton::clicked, this, &TDlgBoxStdr::ButtonOkClick);

    if (previous) setTabOrder(previous, buttonOk_);
    setTabOrder(buttonOk_, buttonCancel_);

    setFixedSize(std::max(MinClientWidth, 2 * FrameLeft + frameWidth),
                 buttonCancel_->y() + buttonCancel_->height() + 5);
    (fields_.empty() || !fields_.front().input ? buttonOk_ : fields_.front().input)->setFocus();
}

void TDlgBoxStdr::reject() {
    done(ModalCancel);
}

QFileDialog* TDlgBoxStdr::FolderPicker() {
    if (!folderPicker_) {
        folderPicker_ = new QFileDialog(this);
        folderPicker_->setObjectName(QStringLiteral("FolderPicker"));
        folderPicker_->setFileMode(QFileDialog::Directory);
        folderPicker_->setOption(QFileDialog::ShowDirsOnly);
        folderPicker_->setOption(QFileDialog::DontUseNativeDialog);
    }
    return folderPicker_;
}

QFileDialog* TDlgBoxStdr::FilePicker() {
    if (!filePicker_) {
        filePicker_ = new QFileDialog(this);
        filePicker_->setObjectName(QStringLiteral("FilePicker"));
        filePicker_->setOption(QFileDialog::DontUseNativeDialog);
        filePicker_->setAcceptMode(QFileDialog::AcceptOpen);
    }
    return filePicker_;
}

void TDlgBoxStdr::FolderButtonClick(Field& field) {
    QFileDialog* picker = FolderPicker();
    picker->setDirectory(field.path);
    if (picker->exec() != QDialog::Accepted || picker->selectedFiles().isEmpty()) return;
    QString path = QDir::toNativeSeparators(picker->selectedFiles().constFirst());
    if (!path.endsWith(QDir::separator())) path += QDir::separator();
    field.path = path;
    field.pathLabel->setText(ShortenMiddle(path, PathShownLength));
    field.pathLabel->adjustSize();
}

void TDlgBoxStdr::FilesButtonClick(Field& field) {
    const TInfoItemMenu& item = table_[static_cast<std::size_t>(field.record)];
    QFileDialog* picker = FilePicker();
    picker->setWindowTitle(item.Caption);
    picker->setFileMode(item.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    const QStringList filters = QtNameFilters(item.Filter);
    picker->setNameFilters(filters.isEmpty() ? QStringList{QStringLiteral("*")} : filters);
    if (!filters.isEmpty()) picker->selectNameFilter(filters.constFirst());
    if (picker->exec() != QDialog::Accepted) return;
    field.files.clear();
    field.fileList->clear();
    for (const QString& file : picker->selectedFiles()) {
        field.files << file;
        field.fileList->addItem(QFileInfo(file).fileName());
    }
}

void TDlgBoxStdr::ButtonOkClick() {
    // The field holding the focus was never left, so its entry has not been checked yet.
    if (!CheckFocusedNumberEdit(this)) return;

    // Every text is converted before anything is written, so that a refused OK leaves the
    // table as the caller filled it (Cancel may still follow).
    struct Value {
        std::int32_t intValue = 0;
        double floatValue = 0.0;
    };
    std::vector<Value> values(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const Field& f = fields_[i];
        std::optional<QString> failure;
        if (f.kind == KindFloat) {
            const QString text = static_cast<QLineEdit*>(f.input)->text();
            if (const auto v = ParseReal(text, NumberEditPoint))
                values[i].floatValue = *v;
            else
                failure = NotARealText(text);
        } else if (f.kind == KindInt) {
            const QString text = static_cast<QLineEdit*>(f.input)->text();
            if (const auto v = ParseInteger(text))
                values[i].intValue = *v;
            else
                failure = NotAnIntegerText(text);
        } else if (f.kind == KindTime || f.kind == KindAngle) {
            const QString text = static_cast<QLineEdit*>(f.input)->displayText();
            const auto v = f.kind == KindTime ? MaskTextToTime(text) : MaskTextToAngle(text);
            if (v)
                values[i].floatValue = *v;
            else
                failure = QStringLiteral("'%1' is not a valid %2")
                              .arg(text, f.kind == KindTime ? QStringLiteral("time")
                                                            : QStringLiteral("angle"));
        }
        if (failure) {
            ReportMessage(this, *failure, TMessageKind::Error);
            f.input->setFocus(Qt::OtherFocusReason);
            return;
        }
    }

    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const Field& f = fields_[i];
        TInfoItemMenu& item = table_[static_cast<std::size_t>(f.record)];
        switch (f.kind) {
        case KindSpinInt:
            item.IntValue = static_cast<QSpinBox*>(f.input)->value();
            break;
        case KindCheck:
            item.BoolValue = static_cast<QCheckBox*>(f.input)->isChecked();
            break;
        case KindText:
            item.StrValue = static_cast<QLineEdit*>(f.input)->text().left(MaxStrValueLength);
            break;
        case KindFloat:
        case KindTime:
        case KindAngle:
            item.FloatValue = values[i].floatValue;
            break;
        case KindInt:
            item.IntValue = values[i].intValue;
            break;
        case KindChoice: {
            const int index = item.Items.indexOf(static_cast<QComboBox*>(f.input)->currentText());
            item.IntValue = std::max(index, 0);
            break;
        }
        case KindFolder:
            item.StrValue = f.path.left(MaxStrValueLength);
            break;
        case KindFiles:
            item.ListValue = std::make_shared<QStringList>(f.files);
            break;
        case KindMemo: {
            const QStringList lines = MemoLines(static_cast<QPlainTextEdit*>(f.input));
            if (item.ListValue)
                *item.ListValue = lines;
            else
                item.ListValue = std::make_shared<QStringList>(lines);
            break;
        }
        default:
            break;
        }
    }
    done(ModalOk);
}

} // namespace velk
