// Serves a folder on localhost: `node serve.mjs FOLDER PORT`. Also imported by the browser test.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// `redirects` sends paths elsewhere ({'/index.html': '/'}), as some hosts do.
export function serve(folder, port, redirects = {}) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    // A request that is no path ("//", a broken %-escape) is refused, not the end of the server.
    let file;
    try {
      const url = new URL(request.url, 'http://localhost');
      if (Object.hasOwn(redirects, url.pathname)) {
        response.writeHead(301, { Location: redirects[url.pathname] }).end();
        return;
      }
      file = path.join(root, decodeURIComponent(url.pathname === '/' ? '/index.html' : url.pathname));
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (!file.startsWith(root + path.sep)) {
      response.writeHead(403).end();
      return;
    }
    fs.readFile(file, (error, body) => {
      if (error) {
        response.writeHead(404).end('not found');
        return;
      }
      response.writeHead(200, {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cache-Control': 'no-cache',
      });
      response.end(body);
    });
  });
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (process.argv[1] && path.resolve(process.argv[1]) === path.resolve(new URL(import.meta.url).pathname)) {
  const [folder, port] = process.argv.slice(2);
  await serve(folder || '.', Number(port || 8014));
}
