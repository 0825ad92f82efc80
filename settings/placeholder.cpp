// Placeholder so the library links before its first real source lands.
namespace kw::settings { int placeholderUnit = 0; }
