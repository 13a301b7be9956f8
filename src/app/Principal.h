#pragma once

#include "JanelaPrincipal.h"
#include "PainelHistorico.h"
#include "platform/SingleWindow.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class Principal;
}

namespace tervalia {

// The main window: the hub from whose menus every other window opens. It holds the selected
// taxpayer (the captions of IESel, RSSel and lblChave) and what the last history refresh reported.
class Principal : public QMainWindow, public SingleWindow<Principal>, public JanelaPrincipal
{
    Q_OBJECT

public:
    using ResultadoAtualizacao = tervalia::ResultadoAtualizacao;

    explicit Principal(QWidget* parent = nullptr);
    ~Principal() override;

    QWidget* janela() override { return this; }
    void setInputEnabled(bool enabled) override;

    void selecionaContribuinte(const QString& ie, const QString& razaoSocial, const QString& chave) override;
    QString ieSelecionada() const override;
    QString razaoSocialSelecionada() const override;
    QString chaveSelecionada() const override;
    void retiraSelecao() override;
    [[nodiscard]] ResultadoAtualizacao RecebeDadosServer() override;

    QString pathMDB() const override;
    void setPathMDB(const QString& caminho) override;

    // The frame frmImportacao with the history grid.
    PainelHistorico* historico() const;

private:
    // Shows a child window; its closing switches the main window on.
    void abreFilha(QWidget* filha);
    // Command1: opens the delivery window of the selected company's regime.
    void entregar();
    void novoContribuinte();
    void abrirContador();
    void mostrarAjuda();
    void mostrarSobre();
    void abrirPastaPrograma();

    std::unique_ptr<Ui::Principal> m_ui;
    QWidget* m_veu = nullptr; // greys the window over while it is switched off
};

} // namespace tervalia
