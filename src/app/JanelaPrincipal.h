#pragma once

#include <QDateTime>
#include <QString>

class QWidget;

namespace tervalia {

// How a history refresh ended. A refresh that stops early keeps whatever it had already changed;
// its caller tells the user, except for RespostaIlegivel, after which the refresh has already shown
// "O Servidor está indisponivel, tente novamente mais tarde.".
struct ResultadoAtualizacao
{
    enum Falha {
        Nenhuma,
        SemInfoDip,        // info.dip cannot be read; the server was not asked
        Transferencia,     // the server could not be reached or gave no complete answer
        RespostaIlegivel,  // the answer holds no readable result
        HistoricoInvalido, // the history is not a well-formed document
        DataInvalida,      // the server's date and time cannot be read
    };
    Falha falha = Nenhuma;
    QString descricao; // what went wrong, in Portuguese

    bool ok() const { return falha == Nenhuma; }
};

// What the other windows may do with the main window. It is the only header of the main window's
// folder that windows elsewhere include.
class JanelaPrincipal
{
public:
    // The open main window, or nullptr when there is none.
    static JanelaPrincipal* aberta();
    // Switches the open main window on, if there is one.
    static void switchOn();
    // Makes the window transient for the open main window, so that the window manager keeps it
    // above the main window (a maximized one included). Call it before the window is first shown.
    static void mantemAcima(QWidget* janela);

    // The window itself, as parent of messages.
    virtual QWidget* janela() = 0;
    // "Off" keeps the window visible but deaf to the user while a child window is in charge.
    virtual void setInputEnabled(bool enabled) = 0;

    // The selected taxpayer. Selecting writes IESel, RSSel and lblChave and shows the history frame
    // and the delivery button; the caller then runs RecebeDadosServer().
    virtual void selecionaContribuinte(const QString& ie, const QString& razaoSocial, const QString& chave) = 0;
    virtual QString ieSelecionada() const = 0;
    virtual QString razaoSocialSelecionada() const = 0;
    virtual QString chaveSelecionada() const = 0;
    // No company selected, as at start: the history frame and the delivery button hidden.
    virtual void retiraSelecao() = 0;

    // Refreshes the selected taxpayer's history with "Transferencia.ver2": fills the grid, stores
    // DataServidor and anoTrabalho, shows whether a newer version exists, and withdraws the
    // selection when the server rejects the key. A rejected key is not a failure.
    [[nodiscard]] virtual ResultadoAtualizacao RecebeDadosServer() = 0;

    // The caption of PathMDB: the file last chosen for delivery.
    virtual QString pathMDB() const = 0;
    virtual void setPathMDB(const QString& caminho) = 0;

    // Set by the last refresh that read the server's date.
    QDateTime DataServidor;
    QString anoTrabalho;
    // The accountant's document, read when a delivery starts.
    QString thisCont_cpf_cnpj;

protected:
    JanelaPrincipal() = default;
    ~JanelaPrincipal() = default;
};

} // namespace tervalia
