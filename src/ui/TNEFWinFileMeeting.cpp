#include "TNEFWinFileMeeting.h"

#include "platform/TextCodec.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFText.h"

#include <QCoreApplication>
#include <QBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

namespace {

// Beyond this a text from the file is cut: the calendar file holds it all,
// and a label thousands of lines high helps nobody.
constexpr qsizetype kLongestShownText = 2000;

QString shownText(const QString &text)
{
    // One line each: a line break or a control from the file starts nothing.
    const QString shown = TextAsOneLine(text.left(kLongestShownText + 1)).simplified();
    return shown.size() > kLongestShownText ? shown.left(kLongestShownText) + QChar(0x2026) : shown;
}

} // namespace

TNEFMeetingPanel::TNEFMeetingPanel(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_form->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    layout->addLayout(m_form);
    m_addButton = new QPushButton(QIcon::fromTheme(QStringLiteral("x-office-calendar")), tr("Add to Calendar"), this);
    m_addButton->setProperty("command", QStringLiteral("adcl"));
    auto *row = new QHBoxLayout;
    row->addWidget(m_addButton);
    row->addStretch(1);
    layout->addLayout(row);
    hide();
}

void TNEFMeetingPanel::setLines(const QList<TNEFSummaryLine> &lines, UInt32 calendarFileID)
{
    while (m_form->rowCount() > 0)
        m_form->removeRow(0);
    for (const TNEFSummaryLine &line : lines) {
        auto *field = new QLabel(this);
        field->setTextFormat(Qt::PlainText);
        field->setWordWrap(true);
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A word longer than the window is cut at its edge, never widens it.
        field->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        field->setText(shownText(line.text));
        auto *label = new QLabel(QCoreApplication::translate("TNEFMeetingPanel", line.label.data()) + QLatin1Char(':'), this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        m_form->addRow(label, field);
    }
    m_calendarFileID = calendarFileID;
    m_addButton->setVisible(calendarFileID != 0);
    setVisible(!lines.isEmpty());
}

QStringList TNEFMeetingPanel::lineTexts() const
{
    QStringList texts;
    for (int row = 0; row < m_form->rowCount(); ++row) {
        const auto *label = qobject_cast<QLabel *>(m_form->itemAt(row, QFormLayout::LabelRole)->widget());
        const auto *field = qobject_cast<QLabel *>(m_form->itemAt(row, QFormLayout::FieldRole)->widget());
        texts << label->text() + QLatin1Char(' ') + field->text();
    }
    return texts;
}

UInt32 TNEFWinFileCalendarFileID(const TNEFFile *tnefFile)
{
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next) {
        if (item->contents && TNEFFileItemFileName(item).endsWith(QLatin1String(".ics")))
            return item->fileID;
    }
    return 0;
}
