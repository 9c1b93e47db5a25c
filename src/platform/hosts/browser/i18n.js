// The page's texts in the player's language. A stand-in that keeps every text as written: tr
// gives the text, trn the singular or the plural form for a number, fill puts the parts where the
// text has {1}, {2}, ...
export const tr = (text) => text;
export const trn = (one, many, n) => (n === 1 ? one : many);
export const fill = (text, ...parts) =>
  text.replace(/\{(\d+)\}/g, (whole, n) => (n >= 1 && n <= parts.length ? String(parts[n - 1]) : whole));
export const onLanguageChange = () => {};
