// Requests to the gateway: relative URLs (so the page works behind any host,
// port and path prefix), one JSON document per answer, and every failure
// turned into a sentence for the person in front of the page.
'use strict';

(function (Tesmo) {
  Tesmo.kCodeOutOfMemory = 1;
  Tesmo.kCodeNoSuchResource = 101;
  Tesmo.kCodeServerNotWorking = 2001;

  // A request that did not give the answer asked for.
  class ApiError extends Error {
    constructor(words, details) {
      super(words);
      this.name = 'ApiError';
      Object.assign(this, details);
    }
  }
  Tesmo.ApiError = ApiError;

  // "api/trend?machine_id=...": each value percent-encoded; empty values
  // are left out, since the gateway cannot read a parameter after an empty one.
  Tesmo.RequestPath = function (resource, parameters) {
    const pairs = [];
    for (const [name, value] of Object.entries(parameters || {})) {
      if (value === '' || value === undefined || value === null) continue;
      pairs.push(name + '=' + encodeURIComponent(String(value)));
    }
    return 'api/' + resource + (pairs.length ? '?' + pairs.join('&') : '');
  };

  // The sentence for an error document of the API.
  Tesmo.ErrorDocumentWords = function (document, statusLine) {
    switch (document.code) {
      case Tesmo.kCodeServerNotWorking:
        return 'The Tesmo server is not working: the gateway cannot reach the monitoring server, ' +
          'it refused the login or did not answer in time, or it does not know this machine (code 2001).';
      case Tesmo.kCodeOutOfMemory:
        return 'The answer was too large for the gateway (code 1): choose a shorter span or fewer samples.';
      case Tesmo.kCodeNoSuchResource:
        return 'The gateway does not know this resource (code 101).';
      default:
        return `The gateway refused the request with ${statusLine}: ${document.error} (code ${document.code}).`;
    }
  };

  function StatusLine(response) {
    return (response.status + ' ' + (response.statusText || '')).trim();
  }

  function IsErrorDocument(body) {
    return body !== null && typeof body === 'object' && !Array.isArray(body) &&
      typeof body.error === 'string' && typeof body.code === 'number' && Object.keys(body).length === 2;
  }

  // Listeners told of each answer and each failure (the connection state in
  // the header and the problem banner).
  const listeners = [];
  Tesmo.OnExchange = function (listener) {
    listeners.push(listener);
  };
  function Tell(error) {
    for (const listener of listeners) listener(error);
  }

  // The gateway's answer to GET `path`: status line, text and, when it is
  // JSON, the parsed document. Rejects only when the service does not answer.
  Tesmo.Fetch = async function (path, signal) {
    let response;
    try {
      response = await fetch(path, { signal, cache: 'no-store', headers: { Accept: 'application/json' } });
    } catch (error) {
      if (error.name === 'AbortError') throw error;
      throw new ApiError('The TesmoApi service does not answer: it may be stopped, or the network ' +
        'between this computer and it is down. The page tries again on its own.', { kind: 'network' });
    }
    const text = await response.text();
    let body;
    try {
      body = JSON.parse(text);
    } catch {
      body = undefined;
    }
    return { status: response.status, statusLine: StatusLine(response), text, body };
  };

  // The document answered for a resource; an ApiError for anything else.
  Tesmo.Ask = async function (resource, parameters, signal) {
    const path = Tesmo.RequestPath(resource, parameters);
    try {
      const answer = await Tesmo.Fetch(path, signal);
      if (answer.body === undefined) {
        throw new ApiError(`The gateway answered ${answer.statusLine} without a JSON document to ${path}.`,
          { kind: 'format', status: answer.status });
      }
      if (IsErrorDocument(answer.body)) {
        throw new ApiError(Tesmo.ErrorDocumentWords(answer.body, answer.statusLine),
          { kind: 'api', status: answer.status, code: answer.body.code, answered: answer.body.error });
      }
      Tell(null);
      return answer.body;
    } catch (error) {
      if (error.name !== 'AbortError') Tell(error);
      throw error;
    }
  };
})(globalThis.Tesmo = globalThis.Tesmo || {});
