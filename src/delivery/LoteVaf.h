#pragma once

#include "DocumentosVAF.h"
#include "net/Upload.h"
#include "storage/Cadastro.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// One VAF.GDB delivered for many companies: which registered companies the converted file holds,
// their documents, and the uploads, one company after the other, each the request the VAF window
// would post for that company alone.
namespace tervalia {

// A registered debit/credit company with a key, whose IE the file holds.
struct EmpresaLote
{
    QString ie;
    QString razaoSocial;
    QString chave;
    QList<DocumentoVAF> documentos; // as the VAF window lists them
    QList<bool> doAno;              // for each document: its year is one the server accepts
};

// A company the delivery leaves out, and why.
struct ForaDoLote
{
    QString ie;
    QString razaoSocial;
    QString motivo;
};

struct ComposicaoLote
{
    QList<EmpresaLote> empresas; // by razão social
    QList<ForaDoLote> fora;      // the file's companies first, then the registered ones absent from it
};

// Sorts out the file's companies against the register: the registered debit/credit companies with a
// key and documents in the file go in, with their documents (documentos(ie), the VAF window's query);
// every other company of the file, and every registered debit/credit company the file lacks, is
// left out with its reason. No document counts as of the working year until marcaAnoTrabalho.
ComposicaoLote compoeLote(const QList<ContribuinteRecord>& cadastradas, const QList<ContribuinteVAF>& doArquivo,
                          const std::function<QList<DocumentoVAF>(const QString& ie)>& documentos);
// Which documents are of a year the server accepts, as the VAF window's send button judges them.
void marcaAnoTrabalho(ComposicaoLote& lote, const QString& anoTrabalho);

// What the server's history answer tells the delivery: its date (for the certificate's validity)
// and the working year. erro is set, in Portuguese, when they could not be had.
struct DadosServidor
{
    QDateTime dataServidor;
    QString anoTrabalho;
    QString erro;
    bool chaveRecusada = false; // the server refused this company's key: another may be asked
};
// Asks "Transferencia.ver2" for this company, as the history refresh does. Blocks like EnviaSoap.
DadosServidor consultaDadosServidor(const QString& ie, const QString& chave);
// The same with the first company of the list whose key the server accepts.
DadosServidor consultaDadosServidor(const QList<EmpresaLote>& empresas);

// Sends the uploads of a run one after the other. A company whose connection fails is told and the
// run goes on with the next; nothing is retried here.
class EnvioLote : public QObject
{
    Q_OBJECT

public:
    struct Item
    {
        QString ie;
        QString razaoSocial;
        QString chave;
        QString gias; // document numbers joined by ","
    };

    explicit EnvioLote(QObject* parent = nullptr);
    ~EnvioLote() override;

    // Posts arquivo under nomeArquivo for each item in turn, with the accountant's document as the
    // address's "contador". Does nothing while a run is under way.
    void inicia(const QList<Item>& itens, const QString& contador, const QString& arquivo, const QString& nomeArquivo);
    // No upload starts any more; the one under way ends normally, then terminou comes.
    void para();

    bool emAndamento() const { return m_emAndamento; }
    bool parado() const { return m_parado; }
    // Items never started because the run was stopped.
    QList<Item> naoEnviados() const { return m_itens.mid(m_proximo); }

    // Tests shorten the upload's limits; an empty function restores them.
    static void setAjusteParaTestes(std::function<void(OpcoesUpload&)> ajuste);

signals:
    void enviando(int indice, int total, const QString& razaoSocial);
    void progresso(const QString& texto, int valor);
    void respondida(int indice, const tervalia::RespostaUpload& resposta, const QString& erroCopia);
    void falhou(int indice, const QString& descricao);
    void terminou();

private:
    void proximo();
    void concluiItem();

    QList<Item> m_itens;
    QString m_contador;
    QString m_arquivo;
    QString m_nomeArquivo;
    int m_proximo = 0;
    int m_atual = -1;
    bool m_itemConcluido = false;
    bool m_emAndamento = false;
    bool m_parado = false;
    QPointer<Upload> m_upload;
};

} // namespace tervalia
