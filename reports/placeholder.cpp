// Placeholder so the library links before its first real source lands.
namespace kw::reports { int placeholderUnit = 0; }
