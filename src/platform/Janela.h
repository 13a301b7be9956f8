#pragma once

#include <QWidget>

class QTableWidget;

// What every window of the program does alike when it opens.
namespace tervalia::janela {

// Escape closes the window, as it closes message boxes.
void fechaComEsc(QWidget* janela);

// Opens the window wide enough for its caption (with the title bar's icon and buttons) and for its
// controls, within the screen's width.
void ajustaLargura(QWidget* janela);

// The width the window needs for its caption alone.
int larguraDoTitulo(const QWidget* janela);

// Makes the window transient for `dona`, so that the window manager keeps it above that one. Takes
// effect when the window is next shown.
void mantemAcimaDe(QWidget* janela, QWidget* dona);

// The width that shows every text of the grid's column whole on one line, and at least `minima`.
// Each distinct text is measured once: grids repeat a few texts over many rows.
int larguraDaColuna(const QTableWidget* grid, int coluna, int minima);

// Greys the whole of its parent window over while shown, following its size.
class Veu : public QWidget
{
public:
    explicit Veu(QWidget* janela);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tervalia::janela
