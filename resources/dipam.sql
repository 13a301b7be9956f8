-- The local register delivered with the program: the accountant and the client companies.
CREATE TABLE tblContador (
    cont_cpf_cnpj        VARCHAR(18),
    cont_num_crc         VARCHAR(20),
    cont_razao_nome      VARCHAR(100),
    cont_nom_endereco    VARCHAR(100),
    cont_num_predial     VARCHAR(10),
    cont_dsc_complemento VARCHAR(50),
    cont_nom_bairro      VARCHAR(50),
    cont_nom_cidade      VARCHAR(50),
    cont_nom_estado      VARCHAR(2),
    cont_num_telefone    VARCHAR(20),
    cont_num_cep         VARCHAR(10),
    cont_email           VARCHAR(100)
);

CREATE TABLE tblContribuinte (
    IE             VARCHAR(20),
    RazaoSocial    VARCHAR(150),
    Cnpj           VARCHAR(18),
    Cnae           VARCHAR(9),
    Chave          VARCHAR(8),
    CCM            VARCHAR(50),
    OptanteSimples INTEGER NOT NULL DEFAULT 0
);
