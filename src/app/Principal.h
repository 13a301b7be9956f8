#pragma once

#include "platform/SingleWindow.h"

#include <QDateTime>
#include <QMainWindow>

#include <memory>

namespace Ui {
class Principal;
}

namespace tervalia {

// The main window: the hub from whose menus every other window opens. It holds the selected
// taxpayer (the captions of IESel, RSSel and lblChave) and what the last history refresh reported.
class Principal : public QMainWindow, public SingleWindow<Principal>
{
    Q_OBJECT

public:
    // Columns of GridTransmissoes.
    enum Coluna { ColReferencia, ColDataProcessamento, ColProtocolo, ColStatus, ColValorAdicionado, ColCount };

    explicit Principal(QWidget* parent = nullptr);
    ~Principal() override;

    // "Off" keeps the window visible but deaf to the user while a child window is in charge.
    void setInputEnabled(bool enabled);
    // Switches the open main window back on; children call this when they close.
    static void switchOn();

    // How a cell of the history grid is aligned.
    static Qt::Alignment alinhamentoColuna(int coluna);

    // How a history refresh ended. A refresh that stops early keeps whatever it had already
    // changed; its caller tells the user, except for RespostaIlegivel, after which the refresh has
    // already shown "O Servidor está indisponivel, tente novamente mais tarde.".
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

    // The selected taxpayer. Selecting writes the three captions and shows the history frame and
    // the delivery button; the caller then runs RecebeDadosServer().
    void selecionaContribuinte(const QString& ie, const QString& razaoSocial, const QString& chave);
    QString ieSelecionada() const;
    QString razaoSocialSelecionada() const;
    QString chaveSelecionada() const;

    // Refreshes the selected taxpayer's history with "Transferencia.ver2": fills the grid, stores
    // DataServidor and anoTrabalho, shows whether a newer version exists, and withdraws the
    // selection when the server rejects the key. A rejected key is not a failure.
    [[nodiscard]] ResultadoAtualizacao RecebeDadosServer();

    // Fills the grid from a history answer, or shows the key's rejection. Returns false, with the
    // parser's reason in *motivo, when the answer is neither a rejection nor well-formed.
    [[nodiscard]] bool PopulaGridTransmissoes(const QString& XMLConteudo, QString* motivo = nullptr);

    // What a click on a data row of the grid does: shows that the delivery was verified without
    // messages, or fetches its details into tvwPessoa.
    void RecebeDadosProtocolo();

    // Replaces the details tree with a details answer. A text that does not parse shows the
    // parser's reason and leaves the tree as it was; returns false, changing nothing, when a
    // message lacks its DETALHE (or its PROTOCOLO while carrying attributes).
    [[nodiscard]] bool CarregaArvoreDetalhes(const QString& XMLConteudo);

    // Opens the address in the default browser, with "http://" in front when it has no scheme.
    static bool OpenBrowser(QString url);

    // Set by the last history refresh.
    QDateTime DataServidor;
    QString anoTrabalho;
    // The accountant's document, read when a delivery starts.
    QString thisCont_cpf_cnpj;

private:
    void setupGridTransmissoes();
    void setupHistorico();
    void retiraSelecao();
    void mostraVersao(const QString& respostaCompleta, const QString& marcaInstalada, const QString& versaoServidor);
    void imprimirProtocolo();
    void novoContribuinte();
    void abrirContador();
    void abrirCriaContribuinte();
    void mostrarAjuda();
    void mostrarSobre();

    std::unique_ptr<Ui::Principal> m_ui;
};

} // namespace tervalia
