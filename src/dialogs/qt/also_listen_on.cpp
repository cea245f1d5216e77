#include "dialogs/qt/also_listen_on.h"

#include <QComboBox>
#include <QFile>

#include "dialogs/port_settings_lists.h"
#include "platform/com_names.h"
#include "platform/com_port_info.h"
#include "port/line_tables.h"

namespace tarnwick {

QComboBox* CreateAlsoListenOnList(const std::string& portName, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QStringLiteral("alsoListenOn"));
  list->setAccessibleName(QStringLiteral("Also listen on"));
  list->addItem(QStringLiteral("(none)"));
  for (int com = 1; com <= kPortCount; ++com) {
    const ComPortInfo info = DescribeComPort(com);
    list->addItem(QFile::decodeName(PortListEntry(info).c_str()));
    list->setItemData(com, QFile::decodeName(PortDeviceLine(info).c_str()), Qt::ToolTipRole);
  }
  const int chosen = ComNumberOf(portName);
  list->setCurrentIndex(chosen >= 1 && chosen <= kPortCount ? chosen : 0);
  return list;
}

std::string AlsoListenOnChoice(const QComboBox& list) {
  const int index = list.currentIndex();
  return index >= 1 ? PortName(index) : std::string();
}

}  // namespace tarnwick
