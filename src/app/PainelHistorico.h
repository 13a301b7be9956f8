#pragma once

#include <QGroupBox>

#include <memory>

namespace Ui {
class PainelHistorico;
}

namespace tervalia {

// The main window's frame frmImportacao: the selected taxpayer's past deliveries, the details of
// one delivery, its receipt and the version state.
class PainelHistorico : public QGroupBox
{
    Q_OBJECT

public:
    // Columns of GridTransmissoes.
    enum Coluna { ColReferencia, ColDataProcessamento, ColProtocolo, ColStatus, ColValorAdicionado, ColCount };

    explicit PainelHistorico(QWidget* parent = nullptr);
    ~PainelHistorico() override;

    // How a cell of the history grid is aligned.
    static Qt::Alignment alinhamentoColuna(int coluna);

    // The taxpayer whose details and receipts are asked for.
    void setContribuinte(const QString& ie, const QString& chave);

    // Fills the grid from a history answer, or shows the key's rejection. Returns false, with the
    // parser's reason in *motivo, when the answer is neither a rejection nor well-formed.
    [[nodiscard]] bool PopulaGridTransmissoes(const QString& XMLConteudo, QString* motivo = nullptr);
    // Nothing readable came back: the rows shown belong to no answer any more.
    void limpaGrid();
    // Another company is selected: its rows, the details, the verification line, the file path and
    // the version state of the one before go.
    void limpa();

    // The installed version is current when the server's whole answer holds info.dip's content.
    void mostraVersao(const QString& respostaCompleta, const QString& marcaInstalada, const QString& versaoServidor);
    void escondeDetalhes();

    // What a click on a data row of the grid does: shows that the delivery was verified without
    // messages, or fetches its details into tvwPessoa.
    void RecebeDadosProtocolo();

    // Replaces the details tree with a details answer. A text that does not parse shows the
    // parser's reason and leaves the tree as it was; returns false, changing nothing, when a
    // message lacks its DETALHE (or its PROTOCOLO while carrying attributes).
    [[nodiscard]] bool CarregaArvoreDetalhes(const QString& XMLConteudo);

    // Opens the address in the default browser, with "http://" in front when it has no scheme.
    static bool OpenBrowser(QString url);

    QString pathMDB() const;
    void setPathMDB(const QString& caminho);

signals:
    // The delivery button is usable unless the server called the key invalid.
    void entregaPermitida(bool permitida);

private:
    void setupGridTransmissoes();
    void ajustaColunaReferencia();
    // The label and the tree show when the loaded delivery has messages.
    void mostraDetalhes();
    void imprimirProtocolo();

    std::unique_ptr<Ui::PainelHistorico> m_ui;
    QString m_ie;
    QString m_chave;
};

} // namespace tervalia
