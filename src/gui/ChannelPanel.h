#pragma once
// The data panel of one channel beside its chart: the channel number and the monitor value,
// maximum, minimum, range and unit, as the chart model writes them.
#include <QFrame>

#include "core/graphs/ChartModel.h"

class QLabel;

namespace kmr::gui {

class HeadingPanel;

class ChannelPanel : public QFrame {
    Q_OBJECT
public:
    ChannelPanel(int channel, QWidget* parent = nullptr);
    void Show(const ChannelLabels& labels);
    QString ValueText(const char* name) const;  // "lblMoni", "lblMax" ...

private:
    QLabel* AddRow(int row, const QString& title, const char* titleName, const char* valueName);

    HeadingPanel* number_;
    QLabel* moni_;
    QLabel* max_;
    QLabel* min_;
    QLabel* range_;
    QLabel* unit_;
};

// "Ch. 1" ... "Ch.10".
QString ChannelNumberText(int channel);

}  // namespace kmr::gui
