# The layering: what each library may link. Dependencies point one way:
# app -> everything else -> shop -> engine -> core. A library (or kitwarden-cli)
# linking anything outside its row fails the configure step, and so does a
# library without a row. Names are as written in target_link_libraries.
set(KW_MAY_LINK_core     Qt6::Core)
set(KW_MAY_LINK_engine   Kitwarden::core Qt6::Core SQLite::SQLite3)
set(KW_MAY_LINK_shop     Kitwarden::engine Kitwarden::core Qt6::Core)
set(KW_MAY_LINK_settings Kitwarden::core Qt6::Core)
set(KW_MAY_LINK_archive  Kitwarden::core Qt6::Core ZLIB::ZLIB)
set(KW_MAY_LINK_update   Kitwarden::core Kitwarden::settings Qt6::Core Qt6::Network version)
set(KW_MAY_LINK_reports  Kitwarden::shop Kitwarden::engine Kitwarden::settings Kitwarden::core Qt6::Gui Qt6::PrintSupport)
set(KW_MAY_LINK_import   Kitwarden::shop Kitwarden::engine Kitwarden::core)
set(KW_MAY_LINK_app      ANY)
# The command-line companion: every library but the program's widgets.
set(KW_MAY_LINK_kitwarden-cli Kitwarden::core Kitwarden::shop Kitwarden::engine Kitwarden::settings Kitwarden::archive
    Kitwarden::update Kitwarden::reports Kitwarden::import Qt6::Core Qt6::Gui)
set(KW_LAYERED_EXECUTABLES kitwarden-cli)
# The source folder of each row, for the include check (tests/cmake): a
# file may include its own folder and the folders of the libraries its row
# may link, nothing else.
set(KW_LAYER_FOLDERS core=core data/engine=engine data/shop=shop settings=settings archive=archive
    update=update reports=reports import=import app=app cli=kitwarden-cli)
