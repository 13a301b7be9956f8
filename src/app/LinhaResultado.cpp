#include "LinhaResultado.h"

#include <QAbstractButton>
#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

namespace tervalia {

LinhaResultado::LinhaResultado(QMainWindow* janela) : QLabel(janela)
{
    setObjectName(QStringLiteral("lblResultadoEntrega"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setWordWrap(true);
    // A permanent widget: the menus' status tips never write over it.
    janela->statusBar()->addPermanentWidget(this, 1);
    for (QAction* acao : janela->findChildren<QAction*>())
        connect(acao, &QAction::triggered, this, &QLabel::clear);
    for (QAbstractButton* botao : janela->findChildren<QAbstractButton*>())
        connect(botao, &QAbstractButton::clicked, this, &QLabel::clear);
}

void LinhaResultado::mostra(const QString& texto)
{
    setText(texto);
    setToolTip(texto);
}

} // namespace tervalia
