# Three floors: shop over engine over core.
set(KW_MAY_LINK_core "")
set(KW_MAY_LINK_engine Kitwarden::core)
set(KW_MAY_LINK_shop Kitwarden::engine Kitwarden::core)
set(KW_LAYER_FOLDERS core=core data/engine=engine data/shop=shop)
