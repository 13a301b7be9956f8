#include "TabelaJet4.h"

#include "ArquivoJet4.h"
#include "CatalogoJet4.h"
#include "ValoresJet4.h"

#include <QDir>
#include <QSet>

namespace tervalia::access::jet4 {

namespace {

constexpr int registrosPorPaginaDeMapa = (tamanhoPagina - cabecalhoDados) / (tamanhoRegistroMapa + 2);
constexpr quint32 maiorValorLongo = 0x3FFFFFFF;

QString falhaDaTabela(const QString& tabela, const QString& motivo)
{
    return QStringLiteral("Tabela %1: %2.").arg(tabela, motivo);
}

QString falhaDaColuna(const QString& tabela, const QString& coluna, const QString& motivo)
{
    return QStringLiteral("Tabela %1, coluna %2: %3.").arg(tabela, coluna, motivo);
}

QString recusaColuna(const Coluna& c)
{
    const QString nome = nomeDeColunaRecusado(c.nome);
    if (!nome.isEmpty())
        return nome;
    if (c.tipo == TipoColuna::Texto && (c.tamanho < 1 || c.tamanho > 255))
        return QStringLiteral("o tamanho de um texto vai de 1 a 255 caracteres, não %1").arg(c.tamanho);
    if (c.tipo == TipoColuna::Numerico && (c.precisao < 1 || c.precisao > 28 || c.escala < 0 || c.escala > c.precisao))
        return QStringLiteral(
                   "um numérico tem de 1 a 28 dígitos, dos quais de 0 a todos depois da vírgula, não (%1,%2)")
            .arg(c.precisao)
            .arg(c.escala);
    return {};
}

// The table's columns as the definition lists them, in the given order.
DefTabela definicao(const Tabela& tabela)
{
    DefTabela def;
    def.nome = tabela.nome;
    quint16 fixo = 0;
    quint16 variavel = 0;
    for (const Coluna& c : tabela.colunas) {
        DefColuna d;
        d.nome = c.nome;
        d.numero = quint16(def.colunas.size());
        const auto fixa = [&](quint8 tipo, quint16 tamanho) {
            d.tipo = tipo;
            d.flags = 0x03;
            d.deslocFixo = fixo;
            d.tamanho = tamanho;
            if (tipo != tipoBool)
                fixo = quint16(fixo + tamanho);
        };
        const auto variavelDe = [&](quint8 tipo, quint16 tamanho, bool comprimida) {
            d.tipo = tipo;
            d.indiceVar = variavel++;
            d.tamanho = tamanho;
            d.flagsExtra = comprimida ? 0x01 : 0x00;
        };
        switch (c.tipo) {
        case TipoColuna::SimNao:
            fixa(tipoBool, 1);
            break;
        case TipoColuna::Inteiro:
            fixa(tipoLong, 4);
            break;
        case TipoColuna::Duplo:
            fixa(tipoDouble, 8);
            break;
        case TipoColuna::Numerico:
            fixa(tipoNumerico, tamanhoNumerico);
            d.misc = quint16(c.precisao | (c.escala << 8));
            break;
        case TipoColuna::DataHora:
            fixa(tipoData, 8);
            break;
        case TipoColuna::Texto:
            variavelDe(tipoTexto, quint16(2 * c.tamanho), true);
            break;
        case TipoColuna::Memo:
            variavelDe(tipoMemo, 0, true);
            break;
        case TipoColuna::ObjetoOle:
            variavelDe(tipoOle, 0, false);
            break;
        }
        def.colunas.append(d);
    }
    return def;
}

QString recusaTabela(const Tabela& tabela)
{
    const QString nome = nomeDeTabelaRecusado(tabela.nome);
    if (!nome.isEmpty())
        return falhaDaTabela(tabela.nome, nome);
    if (tabela.colunas.isEmpty() || tabela.colunas.size() > 255)
        return falhaDaTabela(tabela.nome,
                             QStringLiteral("uma tabela tem de 1 a 255 colunas, não %1").arg(tabela.colunas.size()));
    QSet<QString> nomes;
    for (const Coluna& c : tabela.colunas) {
        const QString motivo = recusaColuna(c);
        if (!motivo.isEmpty())
            return falhaDaColuna(tabela.nome, c.nome, motivo);
        if (nomes.contains(c.nome.toLower()))
            return falhaDaColuna(tabela.nome, c.nome, QStringLiteral("há outra coluna com esse nome"));
        nomes.insert(c.nome.toLower());
    }
    return {};
}

} // namespace

// A memo or OLE column: the long value page being filled and the pages the column owns.
struct TabelaJet4::Longa
{
    int coluna = 0;
    PaginaDados pagina;
    quint32 numeroPagina = 0;
    bool aberta = false;
    ConjuntoPaginas paginas;
};

std::unique_ptr<TabelaJet4> TabelaJet4::inicia(ArquivoJet4& arquivo, const Tabela& tabela, QString& erro)
{
    erro = recusaTabela(tabela);
    if (!erro.isEmpty())
        return nullptr;
    std::unique_ptr<TabelaJet4> t(new TabelaJet4(arquivo, tabela, definicao(tabela)));
    MapasTabela mapas;
    for (const auto& l : t->m_longas) {
        if (l)
            mapas.longas.append(MapasTabela::Longa());
    }
    t->m_paginasDefinicao = paginasDefinicao(definicaoTabela(t->m_def, 0, mapas).size());
    const int registros = 2 + 2 * int(mapas.longas.size());
    t->m_paginasMapa = (registros + registrosPorPaginaDeMapa - 1) / registrosPorPaginaDeMapa;
    if (!arquivo.reserva(t->m_paginasDefinicao + t->m_paginasMapa, t->m_paginaDefinicao)) {
        erro = t->falhaArquivo();
        return nullptr;
    }
    t->m_paginaMapa = t->m_paginaDefinicao + quint32(t->m_paginasDefinicao);
    return t;
}

TabelaJet4::TabelaJet4(ArquivoJet4& arquivo, const Tabela& tabela, DefTabela def)
    : m_arquivo(arquivo), m_tabela(tabela), m_def(std::move(def)), m_layout(m_def)
{
    m_celulas.resize(size_t(m_def.colunas.size()));
    m_longas.resize(size_t(m_def.colunas.size()));
    for (const DefColuna& c : m_def.colunas) {
        if (c.tipo == tipoMemo || c.tipo == tipoOle) {
            m_longas[c.numero] = std::make_unique<Longa>();
            m_longas[c.numero]->coluna = c.numero;
        }
    }
}

TabelaJet4::~TabelaJet4() = default;

QString TabelaJet4::falhaArquivo() const
{
    return QStringLiteral("Não foi possível gravar a tabela %1 no arquivo Access: %2.").arg(nome(), m_arquivo.erro());
}

bool TabelaJet4::escreve(const QVariantList& valores, QString& erro)
{
    if (valores.size() != m_tabela.colunas.size()) {
        erro = falhaDaTabela(nome(), QStringLiteral("a linha tem %1 valores e a tabela tem %2 colunas")
                                         .arg(valores.size())
                                         .arg(m_tabela.colunas.size()));
        return false;
    }
    m_dados.clear();
    for (int i = 0; i < int(valores.size()); ++i) {
        QString motivo;
        m_celulas[size_t(i)] = {};
        if (!valores[i].isNull() && !codifica(i, valores[i], motivo)) {
            erro = motivo.isEmpty() ? falhaArquivo() : falhaDaColuna(nome(), m_tabela.colunas[i].nome, motivo);
            return false;
        }
    }
    m_layout.monta(m_celulas, m_dados, m_linha);
    if (m_linha.size() > maiorLinha) {
        erro = falhaDaTabela(nome(), QStringLiteral("a linha %1 ocupa %2 bytes e o Access admite no máximo %3 bytes "
                                                    "numa linha")
                                         .arg(m_linhas + 1)
                                         .arg(m_linha.size())
                                         .arg(maiorLinha));
        return false;
    }
    if (!poeLinha()) {
        erro = falhaArquivo();
        return false;
    }
    ++m_linhas;
    return true;
}

bool TabelaJet4::codifica(int coluna, const QVariant& valor, QString& motivo)
{
    const Coluna& c = m_tabela.colunas[coluna];
    LayoutLinha::Celula& celula = m_celulas[size_t(coluna)];
    const int inicio = int(m_dados.size());
    char fixo[tamanhoNumerico];
    bool ok = true;
    int tamanho = 0;
    switch (c.tipo) {
    case TipoColuna::SimNao:
        return simNaoParaJet(valor, celula.presente, motivo);
    case TipoColuna::Inteiro:
        ok = inteiroParaJet(valor, fixo, motivo);
        tamanho = 4;
        break;
    case TipoColuna::Duplo:
        ok = duploParaJet(valor, fixo, motivo);
        tamanho = 8;
        break;
    case TipoColuna::Numerico:
        ok = numericoParaJet(valor, c.precisao, c.escala, fixo, motivo);
        tamanho = tamanhoNumerico;
        break;
    case TipoColuna::DataHora:
        ok = dataHoraParaJet(valor, fixo, motivo);
        tamanho = 8;
        break;
    case TipoColuna::Texto: {
        QString texto;
        if (!textoDoValor(valor, texto, motivo))
            return false;
        if (texto.size() > c.tamanho) {
            motivo = QStringLiteral("o texto tem %1 caracteres e a coluna aceita no máximo %2")
                         .arg(texto.size())
                         .arg(c.tamanho);
            return false;
        }
        textoParaJet(texto, true, m_dados);
        celula = {true, inicio, int(m_dados.size()) - inicio};
        return true;
    }
    case TipoColuna::Memo: {
        QString texto;
        if (!textoDoValor(valor, texto, motivo))
            return false;
        m_valorLongo.clear();
        textoParaJet(texto, texto.size() <= maiorMemoComprimido, m_valorLongo);
        break;
    }
    case TipoColuna::ObjetoOle:
        if (!binarioDoValor(valor, m_valorLongo, motivo))
            return false;
        break;
    }
    if (!ok)
        return false;
    if (tamanho > 0) {
        m_dados.append(fixo, tamanho);
    } else if (!referenciaLonga(*m_longas[size_t(coluna)], motivo)) {
        return false;
    }
    celula = {true, inicio, int(m_dados.size()) - inicio};
    return true;
}

// The 12-byte reference of a memo or OLE value: its length with flags (0x80 in the row, 0x40 alone
// on a long value page, none when chained over pages), the page/row of its data, and four zeros.
bool TabelaJet4::referenciaLonga(Longa& longa, QString& motivo)
{
    const qsizetype n = m_valorLongo.size();
    if (n > qsizetype(maiorValorLongo)) {
        motivo = QStringLiteral("o valor tem %1 bytes e o Access admite no máximo 1 GB").arg(n);
        return false;
    }
    const auto referencia = [&](quint32 flags, quint32 pgLinha) {
        anexa32(m_dados, quint32(n) | flags);
        anexa32(m_dados, pgLinha);
        anexa32(m_dados, 0);
    };
    if (n <= maiorLongoNaLinha) {
        referencia(0x80000000, 0);
        m_dados.append(m_valorLongo);
        return true;
    }
    if (n > maiorLongoNumaPagina) {
        quint32 primeira = 0;
        if (!gravaEncadeado(longa, primeira))
            return false;
        referencia(0, paginaLinha(primeira, 0));
        return true;
    }
    if (!longa.aberta || !longa.pagina.cabe(n)) {
        if (longa.aberta && !fechaPagina(longa.pagina, longa.numeroPagina))
            return false;
        if (!m_arquivo.reserva(1, longa.numeroPagina))
            return false;
        longa.pagina.inicia(PaginaDados::donoLval);
        longa.paginas.marca(longa.numeroPagina);
        longa.aberta = true;
    }
    const int linha = longa.pagina.adiciona(m_valorLongo.constData(), n);
    referencia(0x40000000, paginaLinha(longa.numeroPagina, linha));
    return true;
}

// A value over one page: one row a page, each after the page/row of the next part (0 in the last).
bool TabelaJet4::gravaEncadeado(Longa& longa, quint32& primeira)
{
    const qsizetype n = m_valorLongo.size();
    const int partes = int((n + trechoEncadeado - 1) / trechoEncadeado);
    if (!m_arquivo.reserva(partes, primeira))
        return false;
    PaginaDados pagina;
    QByteArray linha;
    for (int k = 0; k < partes; ++k) {
        const qsizetype inicio = qsizetype(k) * trechoEncadeado;
        linha.clear();
        anexa32(linha, k + 1 < partes ? paginaLinha(primeira + quint32(k) + 1, 0) : 0);
        linha.append(m_valorLongo.constData() + inicio, std::min<qsizetype>(trechoEncadeado, n - inicio));
        pagina.inicia(PaginaDados::donoLval);
        pagina.adiciona(linha.constData(), linha.size());
        if (!m_arquivo.grava(primeira + quint32(k), pagina.bytes()))
            return false;
        longa.paginas.marca(primeira + quint32(k));
    }
    return true;
}

bool TabelaJet4::poeLinha()
{
    if (!m_paginaAberta || !m_pagina.cabe(m_linha.size())) {
        if (m_paginaAberta && !fechaPagina(m_pagina, m_numeroPagina))
            return false;
        if (!m_arquivo.reserva(1, m_numeroPagina))
            return false;
        m_pagina.inicia(m_paginaDefinicao);
        m_paginasDados.marca(m_numeroPagina);
        m_paginaAberta = true;
    }
    m_pagina.adiciona(m_linha.constData(), m_linha.size());
    return true;
}

bool TabelaJet4::fechaPagina(PaginaDados& pagina, quint32 numero)
{
    return m_arquivo.grava(numero, pagina.bytes());
}

bool TabelaJet4::conclui(QString& erro)
{
    if (m_paginaAberta && !fechaPagina(m_pagina, m_numeroPagina)) {
        erro = falhaArquivo();
        return false;
    }
    for (const auto& l : m_longas) {
        if (l && l->aberta && !fechaPagina(l->pagina, l->numeroPagina)) {
            erro = falhaArquivo();
            return false;
        }
    }
    MapasTabela mapas;
    if (!gravaMapas(mapas)) {
        erro = falhaArquivo();
        return false;
    }
    const QByteArray def = definicaoTabela(m_def, m_linhas, mapas);
    Q_ASSERT(paginasDefinicao(def.size()) == m_paginasDefinicao);
    for (int k = 0; k < m_paginasDefinicao; ++k) {
        const quint32 proxima = k + 1 < m_paginasDefinicao ? m_paginaDefinicao + quint32(k) + 1 : 0;
        if (!m_arquivo.grava(m_paginaDefinicao + quint32(k), paginaDaDefinicao(def, k, proxima).constData())) {
            erro = falhaArquivo();
            return false;
        }
    }
    return true;
}

// The usage maps: the data pages and the one with free space, then each long column's pages and
// the one with free space. Maps over more than 512 pages refer to bitmap pages at the file's end.
bool TabelaJet4::gravaMapas(MapasTabela& mapas)
{
    const GravaPaginaMapa gravaPaginaMapa = [&](const char* pagina) { return m_arquivo.anexa(pagina); };
    QList<QByteArray> registros;
    const auto endereco = [&](qsizetype registro) {
        return paginaLinha(m_paginaMapa + quint32(registro / registrosPorPaginaDeMapa),
                           int(registro % registrosPorPaginaDeMapa));
    };
    const auto acrescenta = [&](const ConjuntoPaginas& paginas, bool temLivre, quint32 livre, quint32& uso,
                                quint32& livres) {
        QByteArray registro;
        if (!registroMapa(paginas, gravaPaginaMapa, registro))
            return false;
        uso = endereco(registros.size());
        registros << registro;
        livres = endereco(registros.size());
        registros << registroMapaEmbutido(temLivre ? livre : 0, [&](quint32 p) { return temLivre && p == livre; });
        return true;
    };
    if (!acrescenta(m_paginasDados, m_paginaAberta, m_numeroPagina, mapas.uso, mapas.livre))
        return false;
    for (const auto& l : m_longas) {
        if (!l)
            continue;
        MapasTabela::Longa m;
        m.coluna = quint16(l->coluna);
        if (!acrescenta(l->paginas, l->aberta, l->numeroPagina, m.uso, m.livre))
            return false;
        mapas.longas.append(m);
    }
    for (int k = 0; k < m_paginasMapa; ++k) {
        PaginaDados pagina;
        pagina.inicia(0);
        for (qsizetype r = qsizetype(k) * registrosPorPaginaDeMapa;
             r < registros.size() && r < qsizetype(k + 1) * registrosPorPaginaDeMapa; ++r)
            pagina.adiciona(registros[r].constData(), registros[r].size());
        if (!m_arquivo.grava(m_paginaMapa + quint32(k), pagina.bytes()))
            return false;
    }
    return true;
}

} // namespace tervalia::access::jet4
