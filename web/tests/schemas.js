// The answer schemas of web/openapi.json compiled with ajv (JSON Schema
// 2020-12, as OpenAPI 3.1 uses it), looked up by path and status code.
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const Ajv2020 = require('ajv/dist/2020');
const addFormats = require('ajv-formats');

const kDocumentPath = path.join(__dirname, '..', 'openapi.json');
const kComponentsId = 'tesmo-components';

function LoadDocument() {
  return JSON.parse(fs.readFileSync(kDocumentPath, 'utf8'));
}

// "#/components/schemas/X" points into the OpenAPI document; ajv gets the
// schemas as the $defs of one schema of their own.
function Rewrite(node) {
  if (Array.isArray(node)) return node.map(Rewrite);
  if (node === null || typeof node !== 'object') return node;
  const out = {};
  for (const [key, value] of Object.entries(node)) {
    if (key === '$ref' && typeof value === 'string' && value.startsWith('#/components/schemas/')) {
      out[key] = kComponentsId + '#/$defs/' + value.slice('#/components/schemas/'.length);
    } else {
      out[key] = Rewrite(value);
    }
  }
  return out;
}

function ResolveResponse(document, response) {
  if (!response.$ref) return response;
  const name = response.$ref.replace('#/components/responses/', '');
  return document.components.responses[name];
}

class AnswerSchemas {
  constructor(document = LoadDocument()) {
    this.document = document;
    // Unknown keywords are refused (a misspelt keyword would check nothing);
    // the type and required rules are left to the document's own style.
    this.ajv = new Ajv2020({ strict: true, strictTypes: false, strictRequired: false, allErrors: true });
    addFormats(this.ajv);
    this.ajv.addSchema({ $id: kComponentsId, $defs: Rewrite(document.components.schemas) });
    this.cache = new Map();
  }

  // The answer the document describes for GET `apiPath` with `status`: a
  // path that names no resource has the NoSuchResource answer.
  Response(apiPath, status) {
    const operation = this.document.paths[apiPath]?.get;
    const responses = operation ? operation.responses : { 501: { $ref: '#/components/responses/NoSuchResource' } };
    const response = responses[String(status)];
    if (!response) throw new Error(`openapi.json has no ${status} answer for ${apiPath}`);
    return ResolveResponse(this.document, response);
  }

  // The validator of the answer to GET `apiPath` with `status`; throws when
  // the document does not describe that status for that path.
  For(apiPath, status) {
    const key = apiPath + ' ' + status;
    if (!this.cache.has(key)) {
      const schema = this.Response(apiPath, status).content['application/json'].schema;
      this.cache.set(key, this.ajv.compile(Rewrite(schema)));
    }
    return this.cache.get(key);
  }

  // ajv's complaints about `answer`, or null when it is valid.
  Check(apiPath, status, answer) {
    const validate = this.For(apiPath, status);
    return validate(answer) ? null : this.ajv.errorsText(validate.errors, { separator: '\n' });
  }
}

module.exports = { AnswerSchemas, LoadDocument, kDocumentPath };
