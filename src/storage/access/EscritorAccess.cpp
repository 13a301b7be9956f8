#include "EscritorAccess.h"

#include "ArquivoJet4.h"
#include "CabecalhoJet4.h"
#include "CatalogoJet4.h"
#include "TabelaJet4.h"
#include "ValoresJet4.h"

#include <QDir>
#include <QSet>

namespace tervalia::access {

using namespace jet4;

struct EscritorAccess::Estado
{
    Estado(const QString& caminho, const QString& senha, const QDateTime& criacao)
        : caminho(caminho), senha(senha), arquivo(caminho)
    {
        const QDateTime local = criacao.toLocalTime();
        this->criacao = dataParaJet(local.date(), local.time());
    }

    bool falha(const QString& texto)
    {
        if (erro.isEmpty())
            erro = texto;
        tabela.reset();
        arquivo.descarta();
        return false;
    }
    bool abre(const QString& primeiraTabela);
    bool fechaTabela();

    QString caminho;
    QString senha;
    double criacao = 0;
    ArquivoJet4 arquivo;
    std::unique_ptr<TabelaJet4> tabela;
    QList<TabelaDoCatalogo> catalogo;
    QSet<QString> nomes; // in lower case: Access compares names without regard to case
    QString erro;
    bool concluido = false;
};

// The file is created with the first table, so that a folder where it cannot be written is told
// with that table's name.
bool EscritorAccess::Estado::abre(const QString& primeiraTabela)
{
    quint32 primeira = 0;
    if (arquivo.aberto())
        return true;
    if (arquivo.abre() && arquivo.reserva(paginasDoInicio, primeira))
        return true;
    const QString onde = QDir::toNativeSeparators(caminho);
    return falha(primeiraTabela.isEmpty()
                     ? QStringLiteral("Não foi possível gravar o arquivo Access %1: %2.").arg(onde, arquivo.erro())
                     : QStringLiteral("Não foi possível gravar a tabela %1 no arquivo Access %2: %3.")
                           .arg(primeiraTabela, onde, arquivo.erro()));
}

bool EscritorAccess::Estado::fechaTabela()
{
    if (!tabela)
        return true;
    QString motivo;
    if (!tabela->conclui(motivo))
        return falha(motivo);
    catalogo.append({tabela->nome(), tabela->paginaDefinicao()});
    tabela.reset();
    return true;
}

EscritorAccess::EscritorAccess(const QString& caminho, const QString& senha, const QDateTime& criacao)
    : d(std::make_unique<Estado>(caminho, senha, criacao))
{
    if (senha.size() > maiorSenha)
        d->falha(QStringLiteral("A senha do arquivo Access tem %1 caracteres; o Access admite no máximo %2.")
                     .arg(senha.size())
                     .arg(maiorSenha));
    else if (!criacao.isValid())
        d->falha(QStringLiteral("A data de criação do arquivo Access não é válida."));
}

EscritorAccess::~EscritorAccess() = default;

bool EscritorAccess::iniciaTabela(const Tabela& tabela)
{
    if (!d->erro.isEmpty())
        return false;
    if (d->concluido)
        return d->falha(QStringLiteral("O arquivo Access já foi concluído."));
    if (!d->fechaTabela() || !d->abre(tabela.nome))
        return false;
    if (d->nomes.contains(tabela.nome.toLower()))
        return d->falha(QStringLiteral("Tabela %1: há outra tabela com esse nome no arquivo.").arg(tabela.nome));
    QStringList nomes{tabela.nome};
    for (const TabelaDoCatalogo& t : d->catalogo)
        nomes.append(t.nome);
    if (!catalogoComporta(nomes))
        return d->falha(QStringLiteral("Tabela %1: o catálogo do arquivo Access não comporta mais tabelas (%2 já "
                                       "gravadas).")
                            .arg(tabela.nome)
                            .arg(d->catalogo.size()));
    QString motivo;
    d->tabela = TabelaJet4::inicia(d->arquivo, tabela, motivo);
    if (!d->tabela)
        return d->falha(motivo);
    d->nomes.insert(tabela.nome.toLower());
    return true;
}

bool EscritorAccess::escreveLinha(const QVariantList& valores)
{
    if (!d->erro.isEmpty())
        return false;
    if (!d->tabela)
        return d->falha(QStringLiteral("Nenhuma tabela foi iniciada no arquivo Access."));
    QString motivo;
    return d->tabela->escreve(valores, motivo) || d->falha(motivo);
}

bool EscritorAccess::conclui()
{
    if (!d->erro.isEmpty())
        return false;
    if (d->concluido)
        return true;
    if (!d->fechaTabela() || !d->abre({}))
        return false;
    QString motivo;
    if (!gravaCatalogo(d->arquivo, d->catalogo, d->criacao, d->senha, motivo) || !d->arquivo.conclui())
        return d->falha(QStringLiteral("Não foi possível concluir o arquivo Access %1: %2.")
                            .arg(QDir::toNativeSeparators(d->caminho), motivo.isEmpty() ? d->arquivo.erro() : motivo));
    d->concluido = true;
    return true;
}

QString EscritorAccess::erro() const
{
    return d->erro;
}

void EscritorAccess::limitaTamanho(qint64 bytes)
{
    d->arquivo.limitaPaginas(bytes / tamanhoPagina);
}

} // namespace tervalia::access
