#pragma once

#include <QLabel>

class QMainWindow;

namespace tervalia {

// The main window's status line for the answer to the last delivery (lblResultadoEntrega). It stays
// until the user's next action in that window: a menu item, a shortcut or a button.
class LinhaResultado : public QLabel
{
    Q_OBJECT

public:
    explicit LinhaResultado(QMainWindow* janela);

    void mostra(const QString& texto);
};

} // namespace tervalia
