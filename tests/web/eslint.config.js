// ESLint over the page's scripts (src/platform/hosts/browser: ES modules in the browser; the
// service worker as the build wrote it, build-web/site/sw.js, its template holding the build's
// digests) and these tests (node). scripts/web.sh lint runs it, and the test (scripts/web.sh
// test) before the browser plays, and over the service worker once built.
import js from '@eslint/js';
import globals from 'globals';

export default [
  js.configs.recommended,
  {
    rules: {
      'no-unused-vars': ['error', { caughtErrors: 'none' }],
      eqeqeq: 'error',
      'no-var': 'error',
      'prefer-const': 'error',
    },
  },
  {
    files: ['src/platform/hosts/browser/**/*.js'],
    ignores: ['src/platform/hosts/browser/tavlo.js'],
    languageOptions: { sourceType: 'module', globals: globals.browser },
  },
  {
    files: ['build-web/site/sw.js'],
    languageOptions: { sourceType: 'script', globals: globals.serviceworker },
  },
  {
    // The tests run in node and hand functions to the page, where window.tavlo is the page's
    // handle (page.js).
    files: ['tests/web/**/*.mjs'],
    languageOptions: {
      sourceType: 'module',
      globals: { ...globals.node, ...globals.browser, tavlo: 'readonly' },
    },
  },
  { ignores: ['**/node_modules/'] },
];
