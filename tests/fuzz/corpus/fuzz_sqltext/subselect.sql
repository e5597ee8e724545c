select (select b from u where u.c = t.c) x, /* where */ 'where' from t -- c
where a=1 group by 1 having count(*) > 1 plan (t natural) order by 2 rows 10A, B