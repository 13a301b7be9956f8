#include "Janela.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QScreen>
#include <QSet>
#include <QShortcut>
#include <QStyle>
#include <QTableWidget>
#include <QWindow>

#include <algorithm>

namespace tervalia::janela {

namespace {
// The title bar's icon and its three buttons, and the blank around the caption.
constexpr int extrasDaBarra = 170;
// What the window manager and the screen's edges take.
constexpr int margemDaTela = 16;
} // namespace

void fechaComEsc(QWidget* janela)
{
    auto* atalho = new QShortcut(QKeySequence(Qt::Key_Escape), janela);
    QObject::connect(atalho, &QShortcut::activated, janela, &QWidget::close);
}

// Title bars draw their caption in a bold face of about the application's size.
int larguraDoTitulo(const QWidget* janela)
{
    QFont fonte = QApplication::font();
    fonte.setBold(true);
    return QFontMetrics(fonte).horizontalAdvance(janela->windowTitle()) + extrasDaBarra;
}

void ajustaLargura(QWidget* janela)
{
    int largura = std::max({janela->width(), larguraDoTitulo(janela), janela->minimumSizeHint().width()});
    if (const QScreen* tela = janela->screen())
        largura = std::min(largura, tela->availableGeometry().width() - margemDaTela);
    int altura = std::max(janela->height(), janela->minimumSizeHint().height());
    // Wrapped texts need the more lines the narrower the window.
    if (const QLayout* disposicao = janela->layout(); disposicao && disposicao->hasHeightForWidth())
        altura = std::max(altura, disposicao->totalHeightForWidth(largura));
    janela->resize(largura, altura);
}

void mantemAcimaDe(QWidget* janela, QWidget* dona)
{
    janela->winId();
    dona->winId();
    if (QWindow* w = janela->windowHandle())
        w->setTransientParent(dona->windowHandle());
}

int larguraDaColuna(const QTableWidget* grid, int coluna, int minima)
{
    const QFontMetrics medida(grid->font());
    const int margem = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 6;
    int largura = minima;
    QSet<QString> medidos;
    for (int linha = 0; linha < grid->rowCount(); ++linha) {
        const QTableWidgetItem* celula = grid->item(linha, coluna);
        if (!celula || medidos.contains(celula->text()))
            continue;
        medidos.insert(celula->text());
        largura = std::max(largura, medida.horizontalAdvance(celula->text()) + margem);
    }
    return largura;
}

Veu::Veu(QWidget* janela) : QWidget(janela)
{
    setObjectName(QStringLiteral("veuDesligada"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("background-color: rgba(60, 60, 60, 110);"));
    hide();
    janela->installEventFilter(this);
}

bool Veu::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tervalia::janela
