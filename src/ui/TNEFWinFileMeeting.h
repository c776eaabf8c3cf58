#pragma once
// The meeting at the top of the message view: for a meeting request, a
// reply, an appointment or a task, what otherwise stands only in its
// calendar file (when, where, who organises it and who is asked, how it
// repeats, a reply's answer, a task's due date and status), and a button
// that hands that calendar file to the desktop's calendar.
#include "Controls.h"
#include "tnef/TNEFCalendarSummary.h"

#include <QFrame>

class QFormLayout;
class QPushButton;

enum : UInt32 {
    kTNEFCommandAddToCalendar = FourCharCode("adcl"),
};

class TNEFMeetingPanel : public QFrame {
    Q_OBJECT
public:
    explicit TNEFMeetingPanel(QWidget *parent = nullptr);
    // Shows the lines, each text as plain text; the button only with a
    // calendar file (`calendarFileID` not 0). Hidden without lines.
    void setLines(const QList<TNEFSummaryLine> &lines, UInt32 calendarFileID);
    // The rows as "Label: text", as shown.
    QStringList lineTexts() const;
    UInt32 calendarFileID() const { return m_calendarFileID; }
    QPushButton *addButton() const { return m_addButton; }

private:
    QFormLayout *m_form = nullptr;
    QPushButton *m_addButton = nullptr;
    UInt32 m_calendarFileID = 0;
};

// The calendar file the core made of the document's message (the .ics
// item of its attachment list), or 0.
UInt32 TNEFWinFileCalendarFileID(const struct TNEFFile *tnefFile);
