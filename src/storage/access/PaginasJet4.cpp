#include "PaginasJet4.h"

#include <algorithm>

namespace tervalia::access::jet4 {

namespace {

constexpr int inicioColunasDefinicao = 63;
constexpr int cabecalhoContinuacao = 8;
constexpr int mascaraFolha = 0x1B;
constexpr int inicioEntradasFolha = 0x1E0;

void anexaNome(QByteArray& b, const QString& nome)
{
    anexa16(b, quint16(nome.size() * 2));
    for (QChar c : nome)
        anexa16(b, c.unicode());
}

void anexaColuna(QByteArray& b, const DefColuna& c, bool sistema)
{
    anexa8(b, c.tipo);
    anexa32(b, marcaTabela);
    anexa16(b, c.numero);
    anexa16(b, c.indiceVar);
    anexa16(b, sistema ? 0 : c.numero);
    anexa16(b, c.misc);
    anexa16(b, 0);
    anexa8(b, c.flags);
    anexa8(b, c.flagsExtra);
    anexa32(b, 0);
    anexa16(b, c.deslocFixo);
    anexa16(b, c.tamanho);
}

void anexaIndiceReal(QByteArray& b, const DefIndiceReal& r)
{
    anexa32(b, marcaIndice);
    for (int k = 0; k < 10; ++k) {
        anexa16(b, k < r.colunas.size() ? r.colunas[k] : 0xFFFF);
        anexa8(b, k < r.colunas.size() ? 1 : 0);
    }
    anexa32(b, r.mapaUso);
    anexa32(b, r.primeiraPagina);
    anexa32(b, 0);
    anexa8(b, r.flags);
    b.append(5, '\0');
}

void anexaIndiceLogico(QByteArray& b, const DefIndiceLogico& l)
{
    anexa32(b, marcaTabela);
    anexa32(b, l.numero);
    anexa32(b, l.real);
    anexa8(b, 0);
    anexa32(b, 0xFFFFFFFF);
    anexa32(b, 0);
    anexa8(b, 4);
    anexa8(b, 4);
    anexa8(b, l.tipo);
    anexa32(b, 0);
}

} // namespace

int DefTabela::numeroColunasVar() const
{
    return int(std::count_if(colunas.begin(), colunas.end(), [](const DefColuna& c) { return !c.fixa(); }));
}

int DefTabela::tamanhoFixo() const
{
    int fim = 0;
    for (const DefColuna& c : colunas) {
        if (c.fixa() && c.tipo != tipoBool)
            fim = std::max(fim, c.deslocFixo + c.tamanho);
    }
    return fim;
}

QByteArray definicaoTabela(const DefTabela& tabela, quint32 linhas, const MapasTabela& mapas)
{
    const bool sistema = tabela.tipoTabela == 0x53;
    const auto colunas = quint16(tabela.colunas.size());
    QByteArray b;
    b.reserve(tamanhoPagina);
    b.append("\x02\x01\x00\x00", 4);
    anexa32(b, 0); // next definition page
    anexa32(b, 0); // length, set below
    anexa32(b, marcaTabela);
    anexa32(b, linhas);
    anexa32(b, 0); // next autonumber
    b.append("\x01\x00\x00\x00", 4);
    b.append(12, '\0');
    anexa8(b, tabela.tipoTabela);
    anexa16(b, colunas);
    anexa16(b, quint16(tabela.numeroColunasVar()));
    anexa16(b, colunas);
    anexa32(b, quint32(tabela.indicesLogicos.size()));
    anexa32(b, quint32(tabela.indicesReais.size()));
    anexa32(b, mapas.uso);
    anexa32(b, mapas.livre);
    Q_ASSERT(b.size() == inicioColunasDefinicao);
    for (qsizetype i = 0; i < tabela.indicesReais.size(); ++i) {
        anexa32(b, 0);
        anexa32(b, linhas);
        anexa32(b, 0);
    }
    for (const DefColuna& c : tabela.colunas)
        anexaColuna(b, c, sistema);
    for (const DefColuna& c : tabela.colunas)
        anexaNome(b, c.nome);
    for (const DefIndiceReal& r : tabela.indicesReais)
        anexaIndiceReal(b, r);
    for (const DefIndiceLogico& l : tabela.indicesLogicos)
        anexaIndiceLogico(b, l);
    for (const DefIndiceLogico& l : tabela.indicesLogicos)
        anexaNome(b, l.nome);
    for (const MapasTabela::Longa& l : mapas.longas) {
        anexa16(b, l.coluna);
        anexa32(b, l.uso);
        anexa32(b, l.livre);
    }
    anexa16(b, 0xFFFF);
    poe32(b.data() + 8, quint32(b.size()));
    return b;
}

int paginasDefinicao(qsizetype bytes)
{
    if (bytes <= tamanhoPagina)
        return 1;
    const qsizetype resto = bytes - tamanhoPagina;
    const int porPagina = tamanhoPagina - cabecalhoContinuacao;
    return 1 + int((resto + porPagina - 1) / porPagina);
}

QByteArray paginaDaDefinicao(const QByteArray& definicao, int indice, quint32 proxima)
{
    QByteArray pagina(tamanhoPagina, '\0');
    qsizetype inicio = 0;
    qsizetype destino = 0;
    if (indice > 0) {
        pagina[0] = paginaDefinicao;
        pagina[1] = 0x01;
        inicio = tamanhoPagina + qsizetype(indice - 1) * (tamanhoPagina - cabecalhoContinuacao);
        destino = cabecalhoContinuacao;
    }
    const qsizetype n = std::min(definicao.size() - inicio, qsizetype(tamanhoPagina) - destino);
    std::memcpy(pagina.data() + destino, definicao.constData() + inicio, size_t(n));
    poe16(pagina.data() + 2, quint16(std::max<qsizetype>(0, tamanhoPagina - destino - n - cabecalhoContinuacao)));
    poe32(pagina.data() + 4, proxima);
    return pagina;
}

LayoutLinha::LayoutLinha(const DefTabela& tabela)
{
    m_porNumero.resize(size_t(tabela.colunas.size()));
    for (const DefColuna& c : tabela.colunas)
        m_porNumero[c.numero] = c;
    std::vector<const DefColuna*> variaveis;
    for (const DefColuna& c : m_porNumero) {
        if (!c.fixa())
            variaveis.push_back(&c);
    }
    std::sort(variaveis.begin(), variaveis.end(),
              [](const DefColuna* a, const DefColuna* b) { return a->indiceVar < b->indiceVar; });
    for (const DefColuna* c : variaveis)
        m_variaveis.push_back(c->numero);
    m_tamanhoFixo = tabela.tamanhoFixo();
}

void LayoutLinha::monta(const std::vector<Celula>& celulas, const QByteArray& dados, QByteArray& linha) const
{
    const int n = colunas();
    linha.resize(2 + m_tamanhoFixo);
    std::memset(linha.data(), 0, size_t(linha.size()));
    poe16(linha.data(), quint16(n));
    for (const DefColuna& c : m_porNumero) {
        const Celula& v = celulas[c.numero];
        if (c.fixa() && c.tipo != tipoBool && v.presente)
            std::memcpy(linha.data() + 2 + c.deslocFixo, dados.constData() + v.inicio, size_t(v.tamanho));
    }
    if (!m_variaveis.empty()) {
        std::array<quint16, 256> inicios{};
        for (size_t i = 0; i < m_variaveis.size(); ++i) {
            const Celula& v = celulas[size_t(m_variaveis[i])];
            inicios[i] = quint16(linha.size());
            if (v.presente)
                linha.append(dados.constData() + v.inicio, v.tamanho);
        }
        anexa16(linha, quint16(linha.size()));
        for (size_t i = m_variaveis.size(); i-- > 0;)
            anexa16(linha, inicios[i]);
        anexa16(linha, quint16(m_variaveis.size()));
    }
    const qsizetype mascara = linha.size();
    linha.append((n + 7) / 8, '\0');
    for (int i = 0; i < n; ++i) {
        if (celulas[size_t(i)].presente)
            linha[mascara + i / 8] = char(linha[mascara + i / 8] | (1 << (i % 8)));
    }
}

void PaginaDados::inicia(quint32 dono)
{
    m_pagina.fill('\0');
    m_pagina[0] = paginaDados;
    m_pagina[1] = 0x01;
    poe32(m_pagina.data() + 4, dono);
    m_linhas = 0;
    m_topo = tamanhoPagina;
}

bool PaginaDados::cabe(qsizetype tamanho) const
{
    return m_linhas < linhasPorPagina && cabecalhoDados + 2 * (m_linhas + 1) + tamanho <= m_topo;
}

int PaginaDados::adiciona(const char* linha, qsizetype tamanho)
{
    m_topo -= int(tamanho);
    std::memcpy(m_pagina.data() + m_topo, linha, size_t(tamanho));
    poe16(m_pagina.data() + cabecalhoDados + 2 * m_linhas, quint16(m_topo));
    return m_linhas++;
}

const char* PaginaDados::bytes()
{
    poe16(m_pagina.data() + 12, quint16(m_linhas));
    poe16(m_pagina.data() + 2, quint16(m_topo - (cabecalhoDados + 2 * m_linhas)));
    return m_pagina.data();
}

void ConjuntoPaginas::marca(quint32 pagina)
{
    if (m_vazio) {
        m_base = pagina & ~quint32(63);
        m_primeira = m_ultima = pagina;
        m_vazio = false;
    } else if (pagina < m_base) {
        const quint32 novaBase = pagina & ~quint32(63);
        m_bits.insert(m_bits.begin(), (m_base - novaBase) / 64, 0);
        m_base = novaBase;
    }
    m_primeira = std::min(m_primeira, pagina);
    m_ultima = std::max(m_ultima, pagina);
    const quint32 i = pagina - m_base;
    if (i / 64 >= m_bits.size())
        m_bits.resize(i / 64 + 1, 0);
    m_bits[i / 64] |= quint64(1) << (i % 64);
}

bool ConjuntoPaginas::contem(quint32 pagina) const
{
    if (m_vazio || pagina < m_base)
        return false;
    const quint32 i = pagina - m_base;
    return i / 64 < m_bits.size() && (m_bits[i / 64] >> (i % 64)) & 1;
}

QByteArray registroMapaEmbutido(quint32 pagina, const std::function<bool(quint32)>& marcada)
{
    const quint32 inicio = pagina - pagina % paginasNoMapaEmbutido;
    QByteArray r(tamanhoRegistroMapa, '\0');
    poe32(r.data() + 1, inicio);
    for (int i = 0; i < paginasNoMapaEmbutido; ++i) {
        if (marcada(inicio + quint32(i)))
            r[5 + i / 8] = char(r[5 + i / 8] | (1 << (i % 8)));
    }
    return r;
}

bool registroMapa(const ConjuntoPaginas& paginas, const GravaPaginaMapa& gravaPaginaMapa, QByteArray& registro)
{
    const auto marcada = [&](quint32 p) { return paginas.contem(p); };
    if (paginas.vazio() || paginas.ultima() / paginasNoMapaEmbutido == paginas.primeira() / paginasNoMapaEmbutido) {
        registro = registroMapaEmbutido(paginas.vazio() ? 0 : paginas.primeira(), marcada);
        return true;
    }
    registro = QByteArray(tamanhoRegistroMapa, '\0');
    registro[0] = 0x01;
    std::array<char, tamanhoPagina> mapa{};
    for (quint32 k = paginas.primeira() / paginasPorPaginaDeMapa; k <= paginas.ultima() / paginasPorPaginaDeMapa; ++k) {
        if (k >= quint32(paginasDeMapaPorRegistro))
            return false;
        mapa.fill('\0');
        mapa[0] = paginaMapaUso;
        mapa[1] = 0x01;
        for (quint32 i = 0; i < quint32(paginasPorPaginaDeMapa); ++i) {
            if (marcada(k * paginasPorPaginaDeMapa + i))
                mapa[4 + i / 8] = char(mapa[4 + i / 8] | (1 << (i % 8)));
        }
        const quint32 pagina = gravaPaginaMapa(mapa.data());
        if (pagina == 0)
            return false;
        poe32(registro.data() + 1 + 4 * k, pagina);
    }
    return true;
}

QByteArray folhaIndice(quint32 paginaDefinicao, QList<QByteArray> entradas)
{
    std::sort(entradas.begin(), entradas.end());
    QByteArray pagina(tamanhoPagina, '\0');
    pagina[0] = paginaFolhaIndice;
    pagina[1] = 0x01;
    poe32(pagina.data() + 4, paginaDefinicao);
    qsizetype pos = inicioEntradasFolha;
    for (const QByteArray& e : entradas) {
        if (pos + e.size() > tamanhoPagina)
            return {};
        std::memcpy(pagina.data() + pos, e.constData(), size_t(e.size()));
        pos += e.size();
        // The mask marks where each entry after the first starts, and where the last one ends.
        const qsizetype bit = pos - inicioEntradasFolha;
        pagina[mascaraFolha + bit / 8] = char(pagina[mascaraFolha + bit / 8] | (1 << (bit % 8)));
    }
    poe16(pagina.data() + 2, quint16(tamanhoPagina - pos));
    return pagina;
}

} // namespace tervalia::access::jet4
